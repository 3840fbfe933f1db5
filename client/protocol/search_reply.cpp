#include "search_reply.h"

#include <cstring>
#include <string>
#include <vector>

#include "byte_reader.h"

namespace {
constexpr char kVersionPrefix[] = "Ver ";
constexpr size_t kVersionPrefixLength = sizeof kVersionPrefix - 1;
constexpr size_t kVersionTextBytes = kReplyFunctionFlagsOffset - kReplyVersionOffset;

// Models that are wireless whatever their function flags say.
constexpr const char* kWirelessModels[] = {"ZK-5260TD", "M-2150K", "T-5820K", "Braidmesh"};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A field read the way "%lx" reads it: leading blanks, an optional "0x", then hex digits up to
// the first other character. No digit gives 0. The value wraps at 32 bits like a u32 would.
uint32_t HexField(const std::string& field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    if (i + 1 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
        i + 2 < field.size() && HexDigit(field[i + 2]) >= 0) {
        i += 2;
    }
    uint32_t value = 0;
    for (; i < field.size() && HexDigit(field[i]) >= 0; ++i) value = value * 16 + static_cast<uint32_t>(HexDigit(field[i]));
    return value;
}

// Copies a fixed text field of `width` bytes, keeping at most `keep` characters and always
// terminating `out` (which holds keep + 1 bytes).
void FixedText(qz::ByteReader& reader, size_t width, size_t keep, char* out) {
    std::string text = reader.fixedText(width);
    size_t n = text.size() < keep ? text.size() : keep;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

bool KindTwoVersion(const ReplyVersion& v) { return (v.major == 2 && v.minor >= 4) || v.major >= 3; }

void ReadExtraData(qz::ByteReader& reader, size_t length, SearchReply* reply) {
    if (reply->rule == kRuleRawExtra) {
        reply->extraKind = kExtraRaw;
        if (length > kReplyFirmwareOffset) {
            size_t n = length - kReplyFirmwareOffset;
            reply->extraLength = static_cast<uint32_t>(n < kExtraMaxBytes ? n : kExtraMaxBytes);
            reader.seek(kReplyFirmwareOffset);
            reader.bytes(reply->extra, reply->extraLength);
        }
    } else if (reply->kindZero == 0 && reply->kindByte == 1) {
        reply->extraKind = kExtraSeven;
        reply->extraLength = kExtraSevenBytes;
        reader.seek(kReplyKindOffset);
        reader.bytes(reply->extra, kExtraSevenBytes);
    } else if (reply->versionValid && KindTwoVersion(reply->version) && length > kReplyFirmwareOffset) {
        reply->extraKind = kExtraSixtyFour;
        reader.seek(kReplyFirmwareOffset);
        FixedText(reader, kReplyFirmwareField, kReplyFirmwareField - 1, reply->firmware);
        reader.seek(kReplyExtra2Offset);
        reply->extraLength = kExtraMaxBytes;
        reader.bytes(reply->extra, kExtraMaxBytes);
    }
}
}  // namespace

bool ParseReplyVersion(const char* text, size_t length, ReplyVersion* version) {
    if (!version) return false;
    *version = ReplyVersion{};
    std::string value = text ? std::string(text, strnlen(text, length)) : std::string();
    if (value.compare(0, kVersionPrefixLength, kVersionPrefix) != 0) {
        version->major = 1;
        return true;
    }
    // Fields separated by dots; empty fields between dots do not count as fields.
    std::vector<std::string> fields;
    size_t start = kVersionPrefixLength;
    while (start <= value.size() && fields.size() < 3) {
        size_t dot = value.find('.', start);
        std::string field = value.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!field.empty()) fields.push_back(field);
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    if (fields.size() < 3) return false;
    version->major = HexField(fields[0]);
    version->minor = HexField(fields[1]);
    version->build = HexField(fields[2]);
    return true;
}

bool ReplyVersionAccepted(const ReplyVersion& version) { return version.major > 1 && version.minor > 1; }

uint16_t RwpLevel(const ReplyVersion& version) {
    if (version.major == 2) {
        if (version.minor <= 1) return 1;
        if (version.minor == 2) return 2;
        if (version.minor == 3) return 3;
    }
    return 4;
}

void ModelTableWords(const char* model, uint16_t functionFlags, uint16_t* function, uint16_t* status) {
    uint16_t f = 0;
    uint16_t s = 0;
    bool wireless = false;
    for (const char* name : kWirelessModels) {
        if (model && std::strcmp(model, name) == 0) wireless = true;
    }
    if (wireless) {
        f = kServerFunctionWireless;
    } else if (functionFlags & kFunctionFlagsValid) {
        if (functionFlags & kFunctionFlagEncryption) f |= kServerFunctionEncryption;
        if (functionFlags & kFunctionFlagWireless) f |= kServerFunctionWireless;
        if (functionFlags & kFunctionFlagKeepAlive) f |= kServerFunctionKeepAlive;
        if (functionFlags & kFunctionFlagAccessPoint) f |= kServerFunctionAccessPoint;
        if (functionFlags & kFunctionFlagOverCurrent) s |= kServerStatusOverCurrent;
    }
    if (function) *function = f;
    if (status) *status = s;
}

bool ParseSearchReply(const uint8_t* data, size_t length, SearchReply* reply) {
    if (!reply) return false;
    *reply = SearchReply{};
    if (!data) length = 0;
    if (length > kSearchReplyMax) length = kSearchReplyMax;
    if (length < 4) return false;

    // A short reply reads as zeros past its end.
    uint8_t padded[kReplyParsedBytes] = {};
    std::memcpy(padded, data, length < sizeof padded ? length : sizeof padded);
    qz::ByteReader reader(padded, sizeof padded);

    reply->type = reader.u16be();
    reply->rule = reader.u16be();
    reader.seek(kReplyModelOffset);
    FixedText(reader, kReplyModelField - 1, kReplyModelField - 1, reply->model);
    reply->storage = (reader.u8() & 0x1) != 0;
    reader.seek(kReplyHardwareOffset);
    reader.bytes(reply->hardwareAddress, sizeof reply->hardwareAddress);
    reader.seek(kReplyFlagsOffset);
    reply->flags = reader.u16be();
    reader.bytes(reply->ipv4, sizeof reply->ipv4);
    reader.seek(kReplyVersionOffset);
    FixedText(reader, kVersionTextBytes, kVersionTextBytes, reply->versionText);
    reply->functionFlags = reader.u16le();
    reader.seek(kReplyHostOffset);
    FixedText(reader, kReplyHostField, kReplyHostField - 1, reply->hostName);
    reply->kindZero = reader.u8();
    reply->kindByte = reader.u8();
    reply->versionValid = ParseReplyVersion(reply->versionText, sizeof reply->versionText, &reply->version);
    ReadExtraData(reader, length, reply);
    return reader.ok();
}
