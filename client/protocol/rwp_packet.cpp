#include "rwp_packet.h"

#include <cstring>

#include "byte_reader.h"

namespace rwp {
namespace {

void PutU16be(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

}  // namespace

void WriteHeaderFields(uint8_t* out, uint16_t type, uint16_t versionWord, uint16_t offset,
                       uint16_t maxFragment) {
    PutU16be(out + offsetof(RequestHeader, typeBe), type);
    PutU16be(out + offsetof(RequestHeader, versionBe), versionWord);
    PutU16be(out + offsetof(RequestHeader, offsetBe), offset);
    PutU16be(out + offsetof(RequestHeader, maxFragmentBe), maxFragment);
}

bool WriteCommandField(uint8_t* out, std::string_view text, const void* params,
                       size_t paramLength) {
    uint8_t* field = out + offsetof(RequestHeader, command);
    std::memset(field, 0, kCommandFieldSize);
    if (!params) paramLength = 0;
    // The parameters start where the text's terminating zero would stand, so a full field has
    // no terminator at all; the server reads the field by its fixed width.
    if (text.empty() || text.size() > kCommandFieldSize ||
        paramLength > kCommandFieldSize - text.size())
        return false;
    std::memcpy(field, text.data(), text.size());
    if (paramLength) std::memcpy(field + text.size(), params, paramLength);
    return true;
}

bool BuildShortRequest(uint8_t* out, uint16_t type, std::string_view text, uint16_t offset) {
    std::memset(out, 0, kHeaderSize);
    // The text goes with its zero byte.
    if (text.size() >= kCommandFieldSize) return false;
    if (!WriteCommandField(out, text, nullptr, 0)) return false;
    WriteHeaderFields(out, type, VersionWord(0, 0), offset, kMaxFragment);
    return true;
}

uint16_t RequestType(const uint8_t* request) {
    return static_cast<uint16_t>((request[0] << 8) | request[1]);
}

ReplyStatus ParseReplyFragment(const void* datagram, size_t size, ReplyFragment& out) {
    qz::ByteReader reader(datagram, size);
    ReplyFragment fragment;
    fragment.type = reader.u16be();
    fragment.more = reader.u16be();
    fragment.offset = reader.u16be();
    fragment.length = reader.u16be();
    if (!reader.ok()) return ReplyStatus::TooShort;
    fragment.data = reader.current();
    if (!reader.skip(fragment.length)) return ReplyStatus::LengthBeyondDatagram;
    out = fragment;
    return ReplyStatus::Ok;
}

}  // namespace rwp
