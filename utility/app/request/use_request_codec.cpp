// Building and reading the request-use datagram.
#include "use_request_codec.h"

#include <cstring>

#include "../../../common/byte_reader.h"

namespace {

size_t WireLength(const char* text, size_t field) {
    size_t n = strnlen(text, field);
    return n < kRequestWireStringMax ? n : kRequestWireStringMax;
}

void PutU16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

void PutU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// Reads one zero-terminated string and cuts it to its field.
bool ReadText(qz::ByteReader& reader, char* field, size_t fieldSize) {
    std::string text = reader.cstr(reader.remaining());
    if (!reader.ok()) return false;
    CopyRequestText(field, fieldSize, text.c_str());
    return true;
}

}  // namespace

void CopyRequestText(char* to, size_t toSize, const char* from) {
    if (!to || toSize == 0) return;
    size_t n = from ? strnlen(from, toSize - 1) : 0;
    if (n) std::memcpy(to, from, n);
    to[n] = '\0';
}

void UpperRequestText(char* text) {
    for (; text && *text; ++text) {
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
    }
}

size_t BuildRequestPacket(const RequestPacket& packet, uint8_t* out, size_t capacity) {
    const size_t d = WireLength(packet.deviceName, sizeof packet.deviceName);
    const size_t l = WireLength(packet.locations, sizeof packet.locations);
    const size_t p = WireLength(packet.pcName, sizeof packet.pcName);
    const size_t total = kRequestFixedBytes + d + l + p;
    if (!out || capacity < total) return 0;
    std::memset(out, 0, total);
    PutU16(out, static_cast<uint16_t>(total));
    PutU16(out + 2, packet.command);
    std::memcpy(out + 4, packet.hardwareAddress, 6);
    PutU16(out + 10, packet.vendorId);
    PutU16(out + 12, packet.productId);
    uint8_t* at = out + 14;
    std::memcpy(at, packet.deviceName, d);
    at += d + 1;
    std::memcpy(at, packet.locations, l);
    at += l + 1;
    std::memcpy(at, packet.pcName, p);
    at += p + 1;
    PutU32(at, packet.seconds);
    return total;
}

bool ParseRequestPacket(const uint8_t* data, size_t size, RequestPacket* packet) {
    if (!data || !packet || size < kRequestFixedBytes) return false;
    const size_t declared = (size_t(data[0]) << 8) | data[1];
    if (declared < kRequestFixedBytes || declared > size) return false;
    // Everything is read within the declared length, which is within what arrived.
    qz::ByteReader reader(data, declared);
    RequestPacket scratch{};
    reader.skip(2);
    scratch.command = reader.u16be();
    reader.bytes(scratch.hardwareAddress, 6);
    scratch.vendorId = reader.u16be();
    scratch.productId = reader.u16be();
    if (!ReadText(reader, scratch.deviceName, sizeof scratch.deviceName)) return false;
    if (!ReadText(reader, scratch.locations, sizeof scratch.locations)) return false;
    if (!ReadText(reader, scratch.pcName, sizeof scratch.pcName)) return false;
    scratch.seconds = reader.u32be();
    if (!reader.ok()) return false;
    UpperRequestText(scratch.pcName);
    *packet = scratch;
    return true;
}
