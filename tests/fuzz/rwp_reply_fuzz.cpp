// Feeds arbitrary datagram sequences to the reply parser of a reassembling stream.
//
// Input: one byte of set-up (bit 0: no reply buffer; bits 1-2: reply buffer size), then
// datagrams, each a 2-byte big-endian length followed by that many bytes (the last one takes
// what is left). Each datagram goes to ParseReply after a type-1 request was built; a
// complete reply starts a new request, as a monitor channel does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rwp_stream.h"

namespace {

constexpr size_t kCapacities[4] = {1280, 65536, 600, 8};

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool noBuffer = data[0] & 1;
    const size_t capacity = kCapacities[(data[0] >> 1) & 3];
    data++;
    size--;

    // Exactly the capacity, so that ASan sees any write past the end.
    std::vector<uint8_t> reply(noBuffer ? 0 : capacity);
    CRwpStreamRecv stream;
    stream.SetReplyBuffer(noBuffer ? nullptr : reply.data(), reply.size());
    Check(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));

    while (size > 0) {
        size_t length = size;
        if (size >= 2) {
            length = std::min<size_t>((size_t(data[0]) << 8) | data[1], size - 2);
            data += 2;
            size -= 2;
        }
        // A copy of exactly the datagram's bytes, so reads past it are caught too.
        std::vector<uint8_t> datagram(data, data + length);
        data += length;
        size -= length;

        const size_t receivedBefore = stream.ReceivedLength();
        int result = stream.ParseReply(datagram.data(), datagram.size());
        Check(result >= -3 && result <= 1);
        if (!noBuffer) Check(stream.ReceivedLength() <= capacity);
        if (result != kRwpParsed && result != kRwpComplete)
            Check(stream.ReceivedLength() == receivedBefore);
        if (result == kRwpParsed) {
            Check(stream.SendLength() == rwp::kHeaderSize);
            Check(stream.ReceivedLength() >= receivedBefore);
        }
        if (result == kRwpComplete) Check(stream.BuildRequest("GET STORAGE_LIST", nullptr, 0));
    }
    return 0;
}
