#include "storage_list_parse.h"

#include "byte_reader.h"

std::vector<StorageShare> ParseStorageList(const uint8_t* data, size_t length) {
    std::vector<StorageShare> shares;
    if (!data || length == 0) return shares;
    qz::ByteReader reader(data, length);
    unsigned storages = reader.u8();
    for (unsigned s = 0; s < storages && reader.ok(); ++s) {
        StorageShare head;
        head.storageName = reader.cstr(kStorageNameMax);
        head.storageText = reader.cstr(kStorageTextMax);
        head.vid = reader.u16be();
        head.pid = reader.u16be();
        unsigned count = reader.u8();
        if (!reader.ok()) break;
        for (unsigned i = 0; i < count; ++i) {
            StorageShare share = head;
            share.label = reader.cstr(kShareTextMax);
            share.shareName = reader.cstr(kShareTextMax);
            share.value1 = reader.u32be();
            share.value2 = reader.u32be();
            share.flags = reader.u8();
            if (!reader.ok()) return shares;
            shares.push_back(std::move(share));
        }
    }
    return shares;
}

size_t StorageListCount(const uint8_t* data, size_t length) { return data && length ? data[0] : 0; }
