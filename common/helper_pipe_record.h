// The record of the printer helper service's pipe: the client library writes one per
// connection, the helper service reads it. No reply is ever sent.
#pragma once

#include <cstddef>
#include <cstdint>

// The pipe is "\\.\pipe\<host>\<version>".
constexpr const char* kHelperPipeHost = "ORVIK_TELVUS_HELPER";
constexpr const char* kHelperPipeVersion = "V2.0";

enum HelperPipeCode : uint16_t {
    kHelperPipeAddPair = 1,     // a (driver, port) pair is in use
    kHelperPipeRemovePair = 2,  // the pair is no longer in use
    kHelperPipeRemoveAll = 3,   // the client library has started: forget every pair
    kHelperPipeSetupMode = 4,   // nothing in the suite sends it; the service ignores it
    kHelperPipeStop = 0xFFFF,   // the service's own stop record
};

#pragma pack(push, 1)
struct HelperPipeRecord {
    uint16_t code;
    char driver[256];  // printer driver name, zero-terminated, zero-padded
    char port[32];     // port name, zero-terminated, zero-padded
};
#pragma pack(pop)
static_assert(sizeof(HelperPipeRecord) == 290);
static_assert(offsetof(HelperPipeRecord, code) == 0);
static_assert(offsetof(HelperPipeRecord, driver) == 2);
static_assert(offsetof(HelperPipeRecord, port) == 258);
