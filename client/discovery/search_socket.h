// The search socket of the service window, the probe sockets of server windows, the search
// settings (ports, rule number) and the sending and receiving of searches.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "address_record.h"
#include "lib_state.h"

// Search flags.
constexpr uint32_t kSearchIniList = 0x02;        // load the destination list from the INI file
constexpr uint32_t kSearchUdp = 0x10;            // search over UDP
constexpr uint32_t kSearchNoLimited = 0x100;     // no datagram to 255.255.255.255
constexpr uint32_t kSearchAdapters = 0x400;      // add the adapters' directed broadcasts

constexpr uint16_t kDefaultSearchPortUdp = 19540;
constexpr uint16_t kDefaultSearchPortIpx = 19541;
constexpr uint16_t kDefaultRuleNumber = 0x9506;

struct SearchSettings {
    uint16_t udpPort = kDefaultSearchPortUdp;
    uint16_t ipxPort = kDefaultSearchPortIpx;   // kept; no search goes over IPX
    uint16_t rule = kDefaultRuleNumber;
};

// GUI thread: the ports and the rule number of every search.
extern SearchSettings g_search;

// Back to the default ports and rule number (one-time initialisation).
void ResetSearchSettings();

// The destinations of one search, in sending order, each an IPv4 address with the first octet
// in the most significant byte: 255.255.255.255 unless kSearchNoLimited, then `list`, then with
// kSearchAdapters the directed broadcast of every adapter (mask not 0) that is not in `list`.
// Nothing without kSearchUdp.
std::vector<uint32_t> SearchDestinations(uint32_t flags, const std::vector<uint32_t>& list,
                                         const std::vector<LocalAddress>& adapters);

// Prepares the search (loads the INI list with kSearchIniList, opens the window's search
// socket when it is closed) and sends it to every destination of the flags, then posts
// PNXM_SEARCH_SENT to the window. True when no send failed.
bool SendSearch(HWND window, uint32_t flags);

// Opens the probe socket of a server window (replies notify it with PNXM_SEARCH_SOCKET); an
// open one is kept. False when the socket cannot be made.
bool OpenProbeSocket(HWND serverWindow);
// Sends one search to `ipv4` (network byte order) on the search port from the server window's
// probe socket, opening it first when needed. 1 when sent, 0 otherwise.
int SearchToAddress(HWND serverWindow, uint32_t ipv4);
// Closes the probe socket of one server window (its destruction).
void CloseProbeSocket(HWND serverWindow);

// Closes the service window's search socket and every probe socket.
void CloseSearchSockets();

// Reads one datagram for a PNXM_SEARCH_SOCKET notice (wParam the socket, lParam the notice
// word). Only the search and probe sockets are read, only for FD_READ without an error. The
// first kSearchReplyZeroed bytes of `buffer` are zeroed first. Gives the datagram's length
// when it is an accepted search reply (type and rule; AcceptSearchReply), else 0; `from`
// (optional) gets the sender, whose port is the server's request/response port.
// True when another datagram waits on the search socket.
bool SearchReplyWaiting(WPARAM socket);

int ReceiveSearchReply(WPARAM socket, LPARAM notice, uint8_t* buffer, size_t capacity,
                       AddressRecord* from);
