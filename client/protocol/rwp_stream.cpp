#include "rwp_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

CProtoBase::CProtoBase() = default;
CProtoBase::~CProtoBase() = default;

void CProtoBase::BuildFirstHeader() {
    rwp::WriteHeaderFields(sendBuffer_, rwp::kTypeRequest, Version(),
                           static_cast<uint16_t>(currentOffset_), maxFragment_);
    done_ = false;
}

void CProtoBase::BuildNextHeader() {
    rwp::WriteHeaderFields(sendBuffer_, rwp::kTypeNext, Version(),
                           static_cast<uint16_t>(currentOffset_), maxFragment_);
    sendLength_ = rwp::kHeaderSize;
}

void CProtoBase::BuildEndHeader() {
    rwp::WriteHeaderFields(sendBuffer_, rwp::kTypeEnd, Version(),
                           static_cast<uint16_t>(currentOffset_), maxFragment_);
    sendLength_ = rwp::kHeaderSize;
}

void CProtoBase::SetSendLength(size_t length) {
    sendLength_ = std::min(length, sizeof(sendBuffer_));
}

void CProtoBase::SetReplyBuffer(uint8_t* buffer, size_t capacity) {
    replyStore_ = nullptr;
    replyLimit_ = 0;
    replyBuffer_ = buffer;
    replyCapacity_ = buffer ? capacity : 0;
}

void CProtoBase::SetGrowingReplyBuffer(std::vector<uint8_t>* store, size_t limit) {
    replyStore_ = store;
    replyLimit_ = store ? limit : 0;
    replyBuffer_ = store && !store->empty() ? store->data() : nullptr;
    replyCapacity_ = store ? std::min(store->size(), limit) : 0;
}

bool CProtoBase::ReplyFits(size_t end) {
    if (replyStore_ && end > replyCapacity_ && end <= replyLimit_) {
        // Doubling keeps the copies few; most replies take one or two steps.
        constexpr size_t kFirstSize = 1024;
        size_t size = std::min(replyLimit_, std::max({end, 2 * replyStore_->size(), kFirstSize}));
        try {
            replyStore_->resize(size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        replyBuffer_ = replyStore_->data();
        replyCapacity_ = size;
    }
    return end <= replyCapacity_;
}

void CProtoBase::SetFurtherData(const uint8_t* data, size_t length) {
    if (!data) length = 0;
    length = std::min(length, rwp::kFurtherDataSize);
    furtherData_.assign(data, data + length);
}

CRwpStream::~CRwpStream() = default;

bool CRwpStream::BuildRequest(const char* text, const void* params, size_t paramLength) {
    if (!text || !*text) return false;
    size_t textLength = strnlen(text, rwp::kCommandFieldSize + 1);
    if (!params) paramLength = 0;
    if (textLength > rwp::kCommandFieldSize || paramLength > rwp::kCommandFieldSize - textLength)
        return false;

    BuildFirstHeader();
    std::memset(sendBuffer_ + rwp::kHeaderSize, 0, rwp::kFurtherDataSize);
    if (!furtherData_.empty())
        std::memcpy(sendBuffer_ + rwp::kHeaderSize, furtherData_.data(), furtherData_.size());
    rwp::WriteCommandField(sendBuffer_, std::string_view(text, textLength), params, paramLength);
    sendLength_ = rwp::kFirstRequestSize;
    return true;
}

int CRwpStream::ParseReply(const uint8_t* datagram, size_t length) {
    if (!datagram || length < rwp::kReplyHeaderSize) return kRwpRejected;
    lastDatagram_ = datagram;
    lastDatagramLength_ = length;
    // Whatever follows a reply is a next or an end request.
    sendLength_ = rwp::kHeaderSize;

    rwp::ReplyFragment fragment;
    if (rwp::ParseReplyFragment(datagram, length, fragment) != rwp::ReplyStatus::Ok)
        return kRwpRejected;
    const uint16_t requestType = RequestType();
    if (fragment.type != requestType) return kRwpRejected;

    switch (requestType) {
    case rwp::kTypeRequest:
    case rwp::kTypeNext:
        fragmentOffset_ = fragment.offset;
        fragmentLength_ = fragment.length;
        fragmentMore_ = fragment.more;
        return kRwpParsed;
    case rwp::kTypeEnd:
        if (fragment.more > 1) return kRwpRejected;
        // The end reply normally carries nothing. Data it does carry are copied only when they
        // fit the caller's buffer; the exchange is over either way.
        if (fragment.length && HasReplyBuffer() && ReplyFits(fragment.length)) {
            std::memcpy(replyBuffer_, fragment.data, fragment.length);
            receivedLength_ = fragment.length;
        }
        return kRwpComplete;
    default:
        return kRwpRejected;  // no request was built
    }
}

CRwpStreamRecv::~CRwpStreamRecv() = default;

bool CRwpStreamRecv::BuildRequest(const char* text, const void* params, size_t paramLength) {
    done_ = false;
    maxFragment_ = rwp::kMaxFragment;
    fragmentOffset_ = 0;
    fragmentLength_ = 0;
    fragmentMore_ = 0;
    receivedLength_ = 0;
    currentOffset_ = 0;
    sendLength_ = rwp::kHeaderSize;
    fragmentTaken_ = false;
    takenOffset_ = 0;
    takenLength_ = 0;
    return CRwpStream::BuildRequest(text, params, paramLength);
}

int CRwpStreamRecv::ParseReply(const uint8_t* datagram, size_t length) {
    int result = CRwpStream::ParseReply(datagram, length);
    if (result != kRwpParsed) return result;

    const uint16_t offset = fragmentOffset_;
    const uint16_t fragmentLength = fragmentLength_;
    if (fragmentMore_ > 1) return kRwpRejected;
    // Only the fragment that starts at the count received so far is taken. One beyond it
    // would leave a hole in the reply: refuse it, and the retry asks again at the same offset.
    if (offset > receivedLength_) return kRwpRejected;
    // One below it was taken already (a late or repeated datagram). An empty fragment that
    // says "more" and is repeated makes no progress: treat the repeat as a duplicate too, so a
    // server cannot keep the exchange going forever.
    if (offset < receivedLength_) return kRwpDuplicate;
    if (fragmentTaken_ && offset == takenOffset_ && fragmentLength == takenLength_)
        return kRwpDuplicate;

    const size_t end = size_t(offset) + fragmentLength;
    if (HasReplyBuffer() && !ReplyFits(end)) return kRwpOverflow;
    if (replyBuffer_ && fragmentLength)
        std::memcpy(replyBuffer_ + offset, datagram + rwp::kReplyHeaderSize, fragmentLength);
    currentOffset_ = end;
    receivedLength_ = end;
    fragmentTaken_ = true;
    takenOffset_ = offset;
    takenLength_ = fragmentLength;

    if (fragmentMore_ == 1) {
        BuildNextHeader();
    } else {
        BuildEndHeader();
        done_ = true;
    }
    return kRwpParsed;
}
