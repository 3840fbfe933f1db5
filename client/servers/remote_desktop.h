// Remote-desktop mode: the addresses of the clients connected to this PC's desktop port.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "lib_state.h"

// One row of the TCP connection table: addresses in network byte order, port in host order.
struct TcpConnection {
    uint32_t localAddress;
    uint16_t localPort;
    uint32_t remoteAddress;
};

// The remote addresses of the connections whose local port is `port` and whose local address
// is one of this PC's, each once, in table order.
std::vector<uint32_t> RemoteDesktopClients(const std::vector<TcpConnection>& connections, uint16_t port,
                                           const std::vector<LocalAddress>& own);

// The remote addresses of connections to the desktop port (RDPPort setting; network byte
// order). False when the connection table cannot be read.
bool RemoteDesktopAddresses(std::vector<uint32_t>& addresses);

// Marks "not seen" every server whose IPv4 is not in the list (every server when the list is
// empty); servers without record or information are skipped. True when any was marked.
bool MarkServersOutsideList(HWND service, const std::vector<uint32_t>& addresses);
