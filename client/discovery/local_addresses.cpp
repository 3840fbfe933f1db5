#include "local_addresses.h"

#include <cstring>
#include <memory>
#include <new>

#include "lib_lock.h"

namespace {
// inet_addr would need Windows Sockets started; this reads the dotted quad itself.
uint32_t DottedQuadToNetworkOrder(const char* text, size_t capacity) {
    uint32_t octets[4] = {};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t value = 0;
        size_t digits = 0;
        while (pos < capacity && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255) return 0;
        octets[i] = value;
        if (i < 3) {
            if (pos >= capacity || text[pos] != '.') return 0;
            ++pos;
        }
    }
    if (pos < capacity && text[pos] != '\0') return 0;
    // Network byte order: the first octet is the lowest-addressed byte.
    uint8_t bytes[4] = {static_cast<uint8_t>(octets[0]), static_cast<uint8_t>(octets[1]),
                        static_cast<uint8_t>(octets[2]), static_cast<uint8_t>(octets[3])};
    uint32_t result;
    std::memcpy(&result, bytes, 4);
    return result;
}
}  // namespace

std::vector<LocalAddress> LocalAddressesFromAdapters(const IP_ADAPTER_INFO* adapters) {
    std::vector<LocalAddress> list;
    for (const IP_ADAPTER_INFO* a = adapters; a; a = a->Next) {
        const IP_ADDR_STRING& first = a->IpAddressList;
        uint32_t mask = DottedQuadToNetworkOrder(first.IpMask.String, sizeof first.IpMask.String);
        if (mask == 0) continue;
        uint32_t address = DottedQuadToNetworkOrder(first.IpAddress.String, sizeof first.IpAddress.String);
        list.push_back({address, mask});
    }
    return list;
}

bool QueryAdapterAddresses(std::vector<LocalAddress>& list) {
    list.clear();
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return false;
    // The table can grow between the two calls; one retry with the new size is enough.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
        if (!buffer) return false;
        auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get());
        ULONG rc = GetAdaptersInfo(adapters, &size);
        if (rc == NO_ERROR) {
            list = LocalAddressesFromAdapters(adapters);
            return true;
        }
        if (rc != ERROR_BUFFER_OVERFLOW) return false;
    }
    return false;
}

void BuildLocalAddressList() {
    std::vector<LocalAddress> list;
    QueryAdapterAddresses(list);
    LibraryLock lock;
    g_lib.localAddresses = std::move(list);
}

std::vector<LocalAddress> LocalAddressesSnapshot() {
    LibraryLock lock;
    return g_lib.localAddresses;
}
