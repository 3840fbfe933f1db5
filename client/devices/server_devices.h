// What the service window needs from a server's device list.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "pnxscapi.h"
#include "server_entry.h"

// Rows of the server's device list.
int DeviceCount(const ServerEntry* entry);

// Resets the status of the server's devices before a search.
void RefreshDeviceStatusForSearch(ServerEntry* entry);

// The devices of a lost server that are connected or have a connect action, as items of
// type kAutoDeviceServerLost.
void CollectLostServerDevices(ServerEntry* entry, std::vector<AutoDeviceItem>& items);

// What a device notification logs about a device: its current and previous words.
struct DeviceNotifyInfo {
    char name[260] = {};
    char location[260] = {};
    uint16_t status = 0;
    uint16_t statusPrevious = 0;
    uint16_t statusEx = 0;
    uint16_t statusExPrevious = 0;
    uint16_t function = 0;
    uint16_t functionPrevious = 0;
    uint16_t reserve = 0;
    int comPort = 0;              // the COM port number of a COM location, else 0
};

// Reads the device's current information under the library lock; false when the device has
// none (a null handle, or no information block).
bool ReadDeviceNotifyInfo(HPnxDv device, DeviceNotifyInfo* info);

// The server window that a device belongs to, or null.
HWND DeviceServerWindow(HPnxDv device);
