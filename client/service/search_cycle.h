// The service window's search cycle, auto-search timer, lost-server sweep and renew-all.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pnxscapi.h"

// UseBroadAddress bits.
constexpr uint8_t kBroadUseList = 0x1;
constexpr uint8_t kBroadNoLimited = 0x2;
constexpr uint8_t kBroadRenewAll = 0x4;
constexpr uint8_t kBroadAdapters = 0x8;

// CommunicateMode bit of remote-desktop mode.
constexpr uint8_t kCommunicateRemoteDesktop = 0x10;

// How the renew-all sequence knocks: three auto-search ticks this far apart.
constexpr int kRenewAllTicks = 3;
constexpr DWORD kRenewAllTickGapMs = 500;

// The search flags for the current properties; iniList: the broadcast list is kept in an INI
// file.
uint32_t SearchFlags(const ServiceProperties& properties, bool iniList);

// True when a server at `server` is to be dropped from this PC's view given the local address
// and mask toward it (all network byte order): a server outside the local subnet, or, for a
// link-local local address, a server whose first two octets differ.
bool ServerOutsideLocalSubnet(uint32_t server, uint32_t local, uint32_t mask);

// Auto-search timer switch: nothing for interval 0; "on" starts timer 4 unless running.
void SetAutoSearchTimer(HWND service, uint32_t interval, bool on);
// Stops timer 4 whatever the interval (service window destruction).
void StopAutoSearchTimer(HWND service);

// One search step: the auto-search tick (fromTimer) or the end of a search cycle.
void SearchStep(HWND service, bool fromTimer);

// PNXM_SEARCH_NOW: one search cycle unless one is running.
void SearchCycle(HWND service);

// Reports and removes the servers still marked "not seen". 0 when the list is missing.
int LostServerSweep(HWND service);

// Marks every server "not seen", arms the sweep and knocks three times.
void RenewAllServers(HWND service);
