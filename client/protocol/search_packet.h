// The search datagram and the acceptance of a search reply (the reply itself is taken apart
// in search_reply.h). Pure code (no window, no socket) so that it can be tested directly and fuzzed natively.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t kSearchCommand = 4;          // first field of a search
constexpr uint16_t kSearchReplyDatagramType = 2;        // first field of a search reply
constexpr size_t kSearchPacketSize = 88;
constexpr size_t kSearchReplyCapacity = 512;    // a reply is read into this many bytes
constexpr size_t kSearchReplyZeroed = 244;      // zeroed before each read: the parsed fields

#pragma pack(push, 1)
// The search as it goes on the wire; every field is big-endian.
struct SearchPacket {
    uint8_t command[2];          // kSearchCommand
    uint8_t rule[2];             // the configured rule number
    uint8_t zero[82];
    uint8_t extensionLength[2];  // always 0: this library sends no extension
};
#pragma pack(pop)
static_assert(sizeof(SearchPacket) == kSearchPacketSize);
static_assert(offsetof(SearchPacket, rule) == 2);
static_assert(offsetof(SearchPacket, extensionLength) == 86);

SearchPacket BuildSearchPacket(uint16_t rule);

// True for a datagram of at most kSearchReplyCapacity bytes whose type is kSearchReplyDatagramType
// and whose rule number equals `rule`.
bool AcceptSearchReply(const uint8_t* data, size_t length, uint16_t rule);
