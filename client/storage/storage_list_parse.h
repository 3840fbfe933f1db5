// Reading a server's storage-list reply ("GET STORAGE_LIST") into one record per share. No
// window and no lock: the reply is the caller's, and the texts stay bytes (the storage name
// and text are ANSI, labels and share names UTF-8) for the caller to widen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kStorageNameMax = 31;    // characters before the terminator
constexpr size_t kStorageTextMax = 260;
// Share texts are widened into heap strings; a longer one is not a share a server sends.
constexpr size_t kShareTextMax = 1024;

// Share flags.
constexpr uint8_t kShareMounted = 0x1;
constexpr uint8_t kShareFlag = 0x2;

// Storage states.
constexpr uint16_t kNasStateAsking = 0;
constexpr uint16_t kNasStateNoDevice = 4;
constexpr uint16_t kNasStateError = 5;
constexpr uint16_t kNasStateNotMounted = 6;
constexpr uint16_t kNasStateMounted = 7;

struct StorageShare {
    std::string storageName;   // ANSI
    std::string storageText;   // ANSI
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::string label;         // UTF-8; empty: the default storage name applies
    std::string shareName;     // UTF-8
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    uint8_t flags = 0;
    uint16_t State() const { return (flags & kShareMounted) ? kNasStateMounted : kNasStateNotMounted; }
};

// The shares of a reply, in order. Each storage and share is read only when the whole of it
// lies inside the reply; the parse stops at the first incomplete one and keeps what it has.
// A storage whose texts exceed their limits ends the parse the same way.
std::vector<StorageShare> ParseStorageList(const uint8_t* data, size_t length);

// Number of storages the reply announces (0 for an empty reply).
size_t StorageListCount(const uint8_t* data, size_t length);
