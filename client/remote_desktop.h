// Remote-desktop mode: the addresses of the clients connected to this PC's desktop port.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// The remote addresses of connections to the desktop port (network byte order). False when
// the connection table cannot be read.
bool RemoteDesktopAddresses(std::vector<uint32_t>& addresses);

// Marks "not seen" every server whose IPv4 is not in the list (every server when the list is
// empty); servers without record or information are skipped. True when any was marked.
bool MarkServersOutsideList(HWND service, const std::vector<uint32_t>& addresses);
