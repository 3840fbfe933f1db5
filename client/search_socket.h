// The search socket of the service window and the search settings (ports, rule number).
#pragma once

#include <windows.h>

#include <cstdint>

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
    uint16_t ipxPort = kDefaultSearchPortIpx;
    uint16_t rule = kDefaultRuleNumber;
};

// GUI thread: the ports and the rule number of every search.
extern SearchSettings g_search;

// Back to the default ports and rule number (one-time initialisation).
void ResetSearchSettings();

// Prepares and sends one search with the flags from the window. True when no send failed.
bool SendSearch(HWND window, uint32_t flags);

// Closes the service window's search socket and the servers' probe sockets.
void CloseSearchSockets();

// Unregisters the class of the search socket's notice window.
void UnregisterSearchClass(HINSTANCE instance);
