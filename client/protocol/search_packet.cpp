#include "search_packet.h"

#include <cstring>

#include "byte_reader.h"

namespace {
void PutU16be(uint8_t (&field)[2], uint16_t value) {
    field[0] = static_cast<uint8_t>(value >> 8);
    field[1] = static_cast<uint8_t>(value);
}
}  // namespace

SearchPacket BuildSearchPacket(uint16_t rule) {
    SearchPacket packet;
    std::memset(&packet, 0, sizeof packet);
    PutU16be(packet.command, kSearchCommand);
    PutU16be(packet.rule, rule);
    return packet;
}

bool AcceptSearchReply(const uint8_t* data, size_t length, uint16_t rule) {
    if (length > kSearchReplyCapacity) return false;
    qz::ByteReader reader(data, length);
    uint16_t type = reader.u16be();
    uint16_t replyRule = reader.u16be();
    return reader.ok() && type == kSearchReplyDatagramType && replyRule == rule;
}
