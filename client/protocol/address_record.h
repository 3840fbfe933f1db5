// A server or local address of one of the families the library speaks: IPv4, IPX or IPv6,
// with its port, held as the socket address the Windows Sockets calls take.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <wsipx.h>

#include <cstdint>

enum class AddressKind : uint16_t {
    None = 0,
    Ipv4 = AF_INET,  // 2
    Ipx = AF_IPX,    // 6
    Ipv6 = AF_INET6  // 23
};

struct AddressRecord {
    AddressKind kind = AddressKind::None;
    union {
        sockaddr_in ipv4;   // 16 bytes
        SOCKADDR_IPX ipx;   // 14 bytes: 4-byte network, 6-byte node, socket number
        sockaddr_in6 ipv6;  // 28 bytes
        sockaddr_storage storage;
    };

    AddressRecord();

    // IPv4 address in host byte order (0x0A4D0002 is 10.77.0.2); port in host byte order.
    static AddressRecord Ipv4(uint32_t hostOrderAddress, uint16_t port);
    // IPv4 address already in network byte order (as ServerInfo keeps it).
    static AddressRecord Ipv4Net(uint32_t netOrderAddress, uint16_t port);
    // raw: IPv4 a uint32_t in host byte order; IPX 4-byte network then 6-byte node;
    // IPv6 16 bytes. The port is given in host byte order.
    static AddressRecord Make(AddressKind kind, const void* raw, uint16_t port);
    // The any-address of the given family with port 0 (or the given port).
    static AddressRecord Any(AddressKind kind, uint16_t port = 0);

    bool Valid() const { return kind != AddressKind::None; }
    int Family() const { return static_cast<int>(kind); }
    const sockaddr* Sockaddr() const { return reinterpret_cast<const sockaddr*>(&storage); }
    sockaddr* Sockaddr() { return reinterpret_cast<sockaddr*>(&storage); }
    // 16, 14 or 28 bytes by family; 0 for none.
    int SockaddrLength() const;
    uint16_t Port() const;  // host byte order
    // 255.255.255.255 for IPv4, the all-ones node for IPX; IPv6 has none.
    bool IsBroadcast() const;
    // Fills the record from a socket address a call returned; false for an unknown family.
    bool FromSockaddr(const sockaddr* address, int length);
};
