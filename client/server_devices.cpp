#include "server_devices.h"

// Device and storage lists are not built yet: every server has none.
int DeviceCount(const ServerEntry*) { return 0; }
int NasCount(const ServerEntry*) { return 0; }
void RefreshDeviceStatusForSearch(ServerEntry*) {}
void RefreshNasStatusForSearch(ServerEntry*) {}
void CollectLostServerDevices(ServerEntry*, std::vector<AutoDeviceItem>&) {}
bool ReadDeviceNotifyInfo(HPnxDv, DeviceNotifyInfo*) { return false; }
HWND DeviceServerWindow(HPnxDv) { return nullptr; }
void RereadServerStorage(ServerEntry*) {}
