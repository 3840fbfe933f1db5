// Per-device automation (Auto Application, Auto Printer) as seen from the service window.
#pragma once

#include <windows.h>

// Tells the Auto Printer watcher of every device of every server that a printer appeared.
void NotifyPrinterAppeared(HWND service);

// Frees a device-entry copy that an ending Auto Application thread handed back.
void FreeDeviceEntryCopy(void* copy);
