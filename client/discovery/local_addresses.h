// The PC's own IPv4 addresses and masks, from the adapter table.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <vector>

#include "lib_state.h"

// The first address and mask of every adapter of the list whose mask is not 0. Texts that do
// not read as dotted quads count as 0.
std::vector<LocalAddress> LocalAddressesFromAdapters(const IP_ADAPTER_INFO* adapters);

// Reads the adapter table now into `list` (first address and mask of every adapter whose mask
// is not 0). False, with the list empty, when the table cannot be read.
bool QueryAdapterAddresses(std::vector<LocalAddress>& list);

// Rebuilds the library's local address list from GetAdaptersInfo (under the library lock).
// A failing query leaves the list empty.
void BuildLocalAddressList();

// A copy of the current list, taken under the library lock.
std::vector<LocalAddress> LocalAddressesSnapshot();
