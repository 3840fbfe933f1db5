// The search reply of a device server: its layout, the version gate, the protocol level and
// the model table. Pure code (no windows.h), so that it can be tested and fuzzed natively.
#pragma once

#include <cstddef>
#include <cstdint>

// Layout of a search reply (big-endian unless noted). A reply is at most 512 bytes; bytes
// past the end of a shorter reply read as zero, as if the reply had been received into a
// zeroed buffer.
constexpr size_t kSearchReplyMax = 512;
constexpr size_t kReplyTypeOffset = 0;
constexpr size_t kReplyRuleOffset = 2;
constexpr size_t kReplyModelOffset = 36;
constexpr size_t kReplyModelField = 16;
constexpr size_t kReplyStorageOffset = 51;       // last byte of the model field, bit 0
constexpr size_t kReplyHardwareOffset = 56;
constexpr size_t kReplyFlagsOffset = 64;
constexpr size_t kReplyIpv4Offset = 66;
constexpr size_t kReplyVersionOffset = 72;
constexpr size_t kReplyFunctionFlagsOffset = 82;  // little-endian; ends the version text
constexpr size_t kReplyHostOffset = 116;
constexpr size_t kReplyHostField = 16;
constexpr size_t kReplyKindZeroOffset = 132;
constexpr size_t kReplyKindOffset = 133;
constexpr size_t kReplyFirmwareOffset = 164;
constexpr size_t kReplyFirmwareField = 16;
constexpr size_t kReplyExtra2Offset = 180;
// The last byte any field reaches (extra data of kind 2 ends here).
constexpr size_t kReplyParsedBytes = 244;

constexpr uint16_t kSearchReplyType = 2;
// A reply with this rule number carries raw extra data at 164, without a kind byte.
constexpr uint16_t kRuleRawExtra = 0x434D;

// Reply flags (offset 64).
constexpr uint16_t kReplyFlagFunction10 = 0x200;  // function word gets 0x10
constexpr uint16_t kReplyFlagOption = 0x100;      // option word gets bit 0

// Function flags (offset 82) read by the model table.
constexpr uint16_t kFunctionFlagsValid = 0x80;
constexpr uint16_t kFunctionFlagEncryption = 0x10;
constexpr uint16_t kFunctionFlagWireless = 0x8;
constexpr uint16_t kFunctionFlagKeepAlive = 0x200;
constexpr uint16_t kFunctionFlagAccessPoint = 0x1;
constexpr uint16_t kFunctionFlagOverCurrent = 0x2;

// Server function word.
constexpr uint16_t kServerFunctionEncryption = 0x1;
constexpr uint16_t kServerFunctionWireless = 0x2;
constexpr uint16_t kServerFunctionKeepAlive = 0x4;
constexpr uint16_t kServerFunctionAccessPoint = 0x8;
constexpr uint16_t kServerFunctionFlag10 = 0x10;
// Server status word.
constexpr uint16_t kServerStatusOverCurrent = 0x1;
constexpr uint16_t kServerStatusNoDevice = 0x2;
constexpr uint16_t kServerStatusNetworkError = 0x4;
constexpr uint16_t kServerStatusGetStatus = 0x8;
// Server option word.
constexpr uint16_t kServerOptionFlag100 = 0x1;

// Extra data kinds.
constexpr uint16_t kExtraRaw = 0;
constexpr uint16_t kExtraSeven = 1;
constexpr uint16_t kExtraSixtyFour = 2;
constexpr size_t kExtraSevenBytes = 7;
constexpr size_t kExtraMaxBytes = 64;

struct ReplyVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

// One search reply taken apart. Every text is terminated within its array.
struct SearchReply {
    uint16_t type = 0;
    uint16_t rule = 0;
    char model[kReplyModelField] = {};         // at most 15 characters: byte 51 is the storage bit
    bool storage = false;
    uint8_t hardwareAddress[6] = {};
    uint16_t flags = 0;
    uint8_t ipv4[4] = {};                      // network order, as received
    char versionText[16] = {};                 // bytes 72..81 only: the function flags follow
    uint16_t functionFlags = 0;
    char hostName[kReplyHostField] = {};       // at most 15 characters
    uint8_t kindZero = 0;                      // byte 132
    uint8_t kindByte = 0;                      // byte 133
    uint16_t extraKind = kExtraRaw;
    uint8_t extra[kExtraMaxBytes] = {};
    uint32_t extraLength = 0;
    char firmware[kReplyFirmwareField] = {};   // kind 2 only; at most 15 characters
    bool versionValid = false;                 // the version text could be read
    ReplyVersion version;
};

// Reads a version text: without the "Ver " prefix it is 1.0.0; else three fields separated by
// dots, each a hexadecimal number (an unreadable field is 0). Fewer than three fields is a
// failure (false). `length` bounds the text; it also ends at its first NUL.
bool ParseReplyVersion(const char* text, size_t length, ReplyVersion* version);

// The version gate: a reply is looked at only when major and minor are both at least 2.
bool ReplyVersionAccepted(const ReplyVersion& version);

// The protocol level of an accepted version: 2.2 -> 2, 2.3 -> 3, 2.0 and 2.1 -> 1, any other 4.
uint16_t RwpLevel(const ReplyVersion& version);

// Function and status words from the model name and the function flags.
void ModelTableWords(const char* model, uint16_t functionFlags, uint16_t* function, uint16_t* status);

// Takes a reply apart. `length` is the received length (more than 512 bytes counts as 512).
// False when fewer than 4 bytes (type and rule) arrived; every other field is then defaulted.
bool ParseSearchReply(const uint8_t* data, size_t length, SearchReply* reply);
