// What the service window needs from a server's device list and storage list.
#pragma once

#include <vector>

#include "pnxscapi.h"
#include "server_entry.h"

// Rows of the server's device list and storage list.
int DeviceCount(const ServerEntry* entry);
int NasCount(const ServerEntry* entry);

// Resets the status of the server's devices and storage entries before a search.
void RefreshDeviceStatusForSearch(ServerEntry* entry);
void RefreshNasStatusForSearch(ServerEntry* entry);

// The devices of a lost server that are connected or have a connect action, as items of
// type kAutoDeviceServerLost.
void CollectLostServerDevices(ServerEntry* entry, std::vector<AutoDeviceItem>& items);
