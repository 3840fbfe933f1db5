#include "address_record.h"

#include <cstring>

AddressRecord::AddressRecord() {
    std::memset(&storage, 0, sizeof(storage));
}

AddressRecord AddressRecord::Ipv4(uint32_t hostOrderAddress, uint16_t port) {
    return Make(AddressKind::Ipv4, &hostOrderAddress, port);
}

AddressRecord AddressRecord::Ipv4Net(uint32_t netOrderAddress, uint16_t port) {
    uint32_t host = ntohl(netOrderAddress);
    return Make(AddressKind::Ipv4, &host, port);
}

AddressRecord AddressRecord::Make(AddressKind kind, const void* raw, uint16_t port) {
    AddressRecord record;
    switch (kind) {
    case AddressKind::Ipv4: {
        uint32_t host = 0;
        if (raw) std::memcpy(&host, raw, sizeof(host));
        record.ipv4.sin_family = AF_INET;
        record.ipv4.sin_addr.s_addr = htonl(host);
        record.ipv4.sin_port = htons(port);
        break;
    }
    case AddressKind::Ipx:
        record.ipx.sa_family = AF_IPX;
        if (raw) {
            std::memcpy(record.ipx.sa_netnum, raw, sizeof(record.ipx.sa_netnum));
            std::memcpy(record.ipx.sa_nodenum, static_cast<const char*>(raw) + 4,
                        sizeof(record.ipx.sa_nodenum));
        }
        record.ipx.sa_socket = htons(port);
        break;
    case AddressKind::Ipv6:
        record.ipv6.sin6_family = AF_INET6;
        if (raw) std::memcpy(&record.ipv6.sin6_addr, raw, sizeof(record.ipv6.sin6_addr));
        record.ipv6.sin6_port = htons(port);
        break;
    default:
        return record;
    }
    record.kind = kind;
    return record;
}

AddressRecord AddressRecord::Any(AddressKind kind, uint16_t port) {
    uint8_t zero[16] = {};
    return Make(kind, zero, port);
}

int AddressRecord::SockaddrLength() const {
    switch (kind) {
    case AddressKind::Ipv4: return sizeof(sockaddr_in);
    case AddressKind::Ipx: return sizeof(SOCKADDR_IPX);
    case AddressKind::Ipv6: return sizeof(sockaddr_in6);
    default: return 0;
    }
}

uint16_t AddressRecord::Port() const {
    switch (kind) {
    case AddressKind::Ipv4: return ntohs(ipv4.sin_port);
    case AddressKind::Ipx: return ntohs(ipx.sa_socket);
    case AddressKind::Ipv6: return ntohs(ipv6.sin6_port);
    default: return 0;
    }
}

bool AddressRecord::IsBroadcast() const {
    switch (kind) {
    case AddressKind::Ipv4: return ipv4.sin_addr.s_addr == INADDR_BROADCAST;
    case AddressKind::Ipx: {
        // The network number stays that of the segment; the all-ones node reaches every
        // station on it.
        static const uint8_t kAllOnes[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        return std::memcmp(ipx.sa_nodenum, kAllOnes, 6) == 0;
    }
    default: return false;
    }
}

bool AddressRecord::FromSockaddr(const sockaddr* address, int length) {
    if (!address || length < static_cast<int>(sizeof(address->sa_family))) return false;
    AddressKind found;
    switch (address->sa_family) {
    case AF_INET: found = AddressKind::Ipv4; break;
    case AF_IPX: found = AddressKind::Ipx; break;
    case AF_INET6: found = AddressKind::Ipv6; break;
    default: return false;
    }
    AddressRecord probe;
    probe.kind = found;
    if (length < probe.SockaddrLength() || length > static_cast<int>(sizeof(storage)))
        return false;
    std::memset(&storage, 0, sizeof(storage));
    std::memcpy(&storage, address, probe.SockaddrLength());
    kind = found;
    return true;
}
