// Wire formats of the request/response protocol (RWP) that the library speaks with each device
// server over UDP, and pure functions that build and take apart its datagrams. Nothing here
// touches a socket or a window, so the parsers are tested directly and fuzzed natively.
//
// Exchange: the client sends a type-1 request naming a command in text; the server answers in
// fragments of at most 512 data bytes; the client asks for each further fragment with a type-2
// request whose offset is the count received so far, and closes with a type-3 end request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rwp {

// Request types; a reply echoes the type of the request it answers.
constexpr uint16_t kTypeRequest = 1;
constexpr uint16_t kTypeNext = 2;
constexpr uint16_t kTypeEnd = 3;

constexpr size_t kHeaderSize = 88;          // every request starts with this header
constexpr size_t kFirstRequestSize = 510;   // a type-1 request: header + zero tail
constexpr size_t kFurtherDataSize = kFirstRequestSize - kHeaderSize;  // 422
constexpr size_t kCommandFieldSize = 80;    // command text and its parameter bytes
constexpr size_t kReplyHeaderSize = 8;
constexpr uint16_t kMaxFragment = 512;      // largest fragment the client accepts
constexpr size_t kReceiveBufferSize = 1536; // one received datagram

// Version word of a request: (major << 8) + (minor << 4) + 1. This library always sends
// major 0, minor 0, which gives 0x0001.
constexpr uint16_t VersionWord(uint8_t major, uint8_t minor) {
    return static_cast<uint16_t>((major << 8) + ((minor & 0x0F) << 4) + 1);
}

#pragma pack(push, 1)
// Request header. Multi-byte fields are big-endian on the wire; the *Be members hold the
// bytes in wire order (use the builders below rather than filling it by hand).
struct RequestHeader {
    uint8_t typeBe[2];
    uint8_t versionBe[2];
    char command[kCommandFieldSize];  // text, zero-filled; parameters follow the text directly
    uint8_t offsetBe[2];              // offset of the fragment wanted
    uint8_t maxFragmentBe[2];         // 512
};
// Reply header; `length` data bytes follow it.
struct ReplyHeader {
    uint8_t typeBe[2];    // echo of the request's type
    uint8_t moreBe[2];    // 1: further fragments follow; 0: last fragment
    uint8_t offsetBe[2];  // offset of this fragment's data within the whole reply
    uint8_t lengthBe[2];  // data bytes in this fragment
};
#pragma pack(pop)
static_assert(sizeof(RequestHeader) == kHeaderSize);
static_assert(offsetof(RequestHeader, versionBe) == 2);
static_assert(offsetof(RequestHeader, command) == 4);
static_assert(offsetof(RequestHeader, offsetBe) == 84);
static_assert(offsetof(RequestHeader, maxFragmentBe) == 86);
static_assert(sizeof(ReplyHeader) == kReplyHeaderSize);
static_assert(offsetof(ReplyHeader, moreBe) == 2);
static_assert(offsetof(ReplyHeader, offsetBe) == 4);
static_assert(offsetof(ReplyHeader, lengthBe) == 6);

// Writes the fixed fields of a request header (type, version, offset, largest fragment) into
// the first kHeaderSize bytes of `out`; the command field is left as it is.
void WriteHeaderFields(uint8_t* out, uint16_t type, uint16_t versionWord, uint16_t offset,
                       uint16_t maxFragment);

// Zero-fills the command field of the header at `out` and writes `text` followed directly by
// the parameter bytes. Fails, leaving the field zeroed, when the text is empty or text plus
// parameters exceed the 80-byte field.
bool WriteCommandField(uint8_t* out, std::string_view text, const void* params, size_t paramLength);

// Builds a whole 88-byte request (type, version 0x0001, text with its terminating zero,
// offset, largest fragment 512) into `out`, as the blocking request sends it. Fails when the
// text is empty or does not fit the field together with its zero byte.
bool BuildShortRequest(uint8_t* out, uint16_t type, std::string_view text, uint16_t offset);

// Type field of a request already built (first two bytes, big-endian).
uint16_t RequestType(const uint8_t* request);

// One reply fragment seen through the datagram it came in. `data` points into the datagram.
struct ReplyFragment {
    uint16_t type = 0;
    uint16_t more = 0;
    uint16_t offset = 0;
    uint16_t length = 0;
    const uint8_t* data = nullptr;
};

enum class ReplyStatus {
    Ok,
    TooShort,            // fewer than 8 bytes
    LengthBeyondDatagram // 8 + length exceeds the bytes received
};

// Reads a reply datagram. The length field is never trusted: Ok only when all `length` data
// bytes are inside the datagram.
ReplyStatus ParseReplyFragment(const void* datagram, size_t size, ReplyFragment& out);

}  // namespace rwp
