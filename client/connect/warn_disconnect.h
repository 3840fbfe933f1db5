// A device that this PC used and that the server now reports otherwise lost its connection
// without this PC asking: mark it, free the driver's hold on a serial port, and arrange the
// reconnect its settings ask for.
#pragma once

#include <windows.h>

struct DeviceEntry;

// Runs on the server window's thread with no lock held (it asks the bus driver).
void WarnDisconnect(HWND serverWindow, DeviceEntry* device);
