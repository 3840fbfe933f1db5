// Feeds arbitrary replies to the storage-list parser: every share it hands on must have texts
// within their limits, and never more shares than the reply could hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "storage_list_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<StorageShare> shares = ParseStorageList(data, size);
    // The smallest share takes 2 text terminators and 9 bytes; its storage 2 more and 5.
    if (shares.size() * 11 > size) std::abort();
    for (const StorageShare& s : shares) {
        if (s.storageName.size() > kStorageNameMax || s.storageText.size() > kStorageTextMax) std::abort();
        if (s.label.size() > kShareTextMax || s.shareName.size() > kShareTextMax) std::abort();
        if (s.State() != kNasStateMounted && s.State() != kNasStateNotMounted) std::abort();
    }
    return 0;
}
