// The user's broadcast-address list and its store.
#pragma once

// True when the list is kept in an INI file (store kind 1).
bool BroadcastListInIni();

// Frees the in-memory list set by PnxSetBroadcastAddrMemory.
void FreeBroadcastListMemory();

#include <cstdint>
#include <vector>

// Replaces the in-memory list with these addresses (network byte order); remote-desktop mode
// searches only toward the desktop's clients.
void ReplaceBroadcastList(const std::vector<uint32_t>& addresses);
