// Stream objects of the request/response protocol: one per exchange or per monitor channel.
// They build the requests into their send buffer and take replies apart; the caller moves the
// bytes over a socket. No socket or window in here, so any datagram can be fed to ParseReply
// (tests and the fuzz target do exactly that).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rwp_packet.h"

// Results of ParseReply.
constexpr int kRwpParsed = 0;      // fragment taken; the next request (next or end) is built
constexpr int kRwpComplete = 1;    // reply to the end request: the exchange is over
constexpr int kRwpRejected = -1;   // short, malformed, wrong type echo, bad more value, gap
constexpr int kRwpDuplicate = -2;  // a fragment already taken: nothing changes, nothing to send
constexpr int kRwpOverflow = -3;   // the fragment would not fit the reply buffer; not copied

class CProtoBase {
public:
    CProtoBase();
    virtual int ParseReply(const uint8_t* datagram, size_t length) = 0;
    virtual ~CProtoBase();

    CProtoBase(const CProtoBase&) = delete;
    CProtoBase& operator=(const CProtoBase&) = delete;

    // Header builders. Each rewrites the fixed header fields in the send buffer and keeps the
    // command field, so next and end requests carry the command text of the exchange.
    void BuildFirstHeader();  // type 1; clears the done flag
    void BuildNextHeader();   // type 2 at the current offset; length to send 88
    void BuildEndHeader();    // type 3 at the current offset; length to send 88

    // The request to send now.
    const uint8_t* SendData() const { return sendBuffer_; }
    size_t SendLength() const { return sendLength_; }
    void SetSendLength(size_t length);
    uint16_t RequestType() const { return rwp::RequestType(sendBuffer_); }

    // A place to receive one datagram into (1536 bytes).
    uint8_t* ReceiveBuffer() { return receiveBuffer_; }
    static constexpr size_t ReceiveCapacity() { return rwp::kReceiveBufferSize; }

    // The caller's reply (reassembly) buffer; null means "do not copy reply data".
    void SetReplyBuffer(uint8_t* buffer, size_t capacity);
    // A reply buffer that grows with the reply up to `limit` bytes: what would not fit a fixed
    // buffer of `limit` bytes does not fit this one either. The vector is the caller's and is
    // only ever enlarged, never shrunk; its data move when it grows.
    void SetGrowingReplyBuffer(std::vector<uint8_t>* store, size_t limit);
    const uint8_t* ReplyBuffer() const { return replyBuffer_; }
    size_t ReplyCapacity() const { return replyCapacity_; }

    size_t ReceivedLength() const { return receivedLength_; }
    size_t CurrentOffset() const { return currentOffset_; }
    uint16_t FragmentOffset() const { return fragmentOffset_; }
    uint16_t FragmentLength() const { return fragmentLength_; }
    bool Done() const { return done_; }
    const uint8_t* LastDatagram() const { return lastDatagram_; }
    size_t LastDatagramLength() const { return lastDatagramLength_; }

    // Bytes copied behind the header of every type-1 request (at most 422 are used).
    void SetFurtherData(const uint8_t* data, size_t length);

protected:
    uint16_t Version() const { return rwp::VersionWord(versionMajor_, versionMinor_); }
    bool HasReplyBuffer() const { return replyBuffer_ || replyStore_; }
    // True when `end` bytes fit the reply buffer; a growing buffer is enlarged to hold them.
    bool ReplyFits(size_t end);

    uint8_t sendBuffer_[rwp::kFirstRequestSize] = {};
    size_t sendLength_ = 0;
    uint8_t receiveBuffer_[rwp::kReceiveBufferSize] = {};
    uint8_t* replyBuffer_ = nullptr;  // not owned
    size_t replyCapacity_ = 0;
    std::vector<uint8_t>* replyStore_ = nullptr;  // not owned; the growing reply buffer
    size_t replyLimit_ = 0;
    size_t receivedLength_ = 0;
    const uint8_t* lastDatagram_ = nullptr;  // view of the last datagram passed to ParseReply
    size_t lastDatagramLength_ = 0;
    uint8_t versionMajor_ = 0;
    uint8_t versionMinor_ = 0;
    size_t currentOffset_ = 0;
    uint16_t maxFragment_ = rwp::kMaxFragment;
    uint16_t fragmentOffset_ = 0;  // offset and length of the last fragment parsed
    uint16_t fragmentLength_ = 0;
    uint16_t fragmentMore_ = 0;
    bool skipEndHandshake_ = false;  // never set by this library
    bool done_ = false;
    std::vector<uint8_t> furtherData_;
};

class CRwpStream : public CProtoBase {
public:
    // Checks the datagram (at least 8 bytes, data inside the datagram, type echo). A fragment
    // reply keeps its offset and length and gives 0; the end reply gives 1, copying its data
    // (if any) to the reply buffer only when they fit it.
    int ParseReply(const uint8_t* datagram, size_t length) override;
    ~CRwpStream() override;
    // Builds the type-1 request (510 bytes). Fails when the text is empty or text plus
    // parameters exceed the 80-byte command field.
    virtual bool BuildRequest(const char* text, const void* params, size_t paramLength);
};

class CRwpStreamRecv : public CRwpStream {
public:
    // Base checks, then reassembly: a fragment is taken only at the count received so far
    // (below it is a duplicate, beyond it a gap), copied to the reply buffer at its offset,
    // and the next-fragment or end request is built.
    int ParseReply(const uint8_t* datagram, size_t length) override;
    ~CRwpStreamRecv() override;
    // Resets the exchange, then builds the type-1 request like CRwpStream.
    bool BuildRequest(const char* text, const void* params, size_t paramLength) override;

private:
    bool fragmentTaken_ = false;  // a fragment of this exchange was accepted
    uint16_t takenOffset_ = 0;    // offset and length of the last accepted fragment
    uint16_t takenLength_ = 0;
};
