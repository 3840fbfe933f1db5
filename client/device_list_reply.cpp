#include "device_list_reply.h"

// The device records are filled from the replies by the device-list update; until then a
// server has no devices and these have nothing to do.
void HandleDeviceListReply(HWND, UINT, const uint8_t*, size_t) {}
void RenewServerDevices(HWND) {}
void DestroyServerDevices(HWND) {}
