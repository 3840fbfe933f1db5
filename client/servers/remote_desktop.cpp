#include "remote_desktop.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <algorithm>
#include <memory>
#include <new>

#include "lib_lock.h"
#include "local_addresses.h"
#include "server_list.h"
#include "service_properties.h"

namespace {
bool Contains(const std::vector<uint32_t>& list, uint32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// The connection table; false when it cannot be read.
bool ReadTcpTable(std::vector<TcpConnection>& connections) {
    ULONG size = 0;
    if (GetTcpTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0) return false;
    // The table can grow between the calls; one retry with the new size.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
        if (!buffer) return false;
        auto* table = reinterpret_cast<MIB_TCPTABLE*>(buffer.get());
        DWORD rc = GetTcpTable(table, &size, FALSE);
        if (rc == ERROR_INSUFFICIENT_BUFFER) continue;
        if (rc != NO_ERROR) return false;
        // The row count comes from the system, but the rows must still lie inside the block.
        size_t fits = (size - offsetof(MIB_TCPTABLE, table)) / sizeof(MIB_TCPROW);
        size_t rows = std::min<size_t>(table->dwNumEntries, fits);
        for (size_t i = 0; i < rows; ++i) {
            const MIB_TCPROW& row = table->table[i];
            connections.push_back({row.dwLocalAddr, ntohs(static_cast<u_short>(row.dwLocalPort)), row.dwRemoteAddr});
        }
        return true;
    }
    return false;
}
}  // namespace

std::vector<uint32_t> RemoteDesktopClients(const std::vector<TcpConnection>& connections, uint16_t port,
                                           const std::vector<LocalAddress>& own) {
    std::vector<uint32_t> clients;
    for (const TcpConnection& c : connections) {
        if (c.localPort != port || c.remoteAddress == 0 || Contains(clients, c.remoteAddress)) continue;
        bool local = std::any_of(own.begin(), own.end(),
                                 [&](const LocalAddress& a) { return a.address == c.localAddress; });
        if (local) clients.push_back(c.remoteAddress);
    }
    return clients;
}

bool RemoteDesktopAddresses(std::vector<uint32_t>& addresses) {
    addresses.clear();
    std::vector<LocalAddress> own;
    QueryAdapterAddresses(own);
    std::vector<TcpConnection> connections;
    if (!ReadTcpTable(connections)) return false;
    addresses = RemoteDesktopClients(connections, static_cast<uint16_t>(RdpPort()), own);
    return true;
}

bool MarkServersOutsideList(HWND service, const std::vector<uint32_t>& addresses) {
    bool marked = false;
    for (ServerEntry* entry : ServerEntries(service)) {
        LibraryLock lock;
        if (!entry->record || !entry->record->info) continue;
        if (Contains(addresses, entry->record->info->ipAddress)) continue;
        entry->record->notSeen = true;
        marked = true;
    }
    return marked;
}
