#include "automation.h"

// No Auto Printer watchers exist yet.
void NotifyPrinterAppeared(HWND) {}

// No Auto Application thread hands copies back yet.
void FreeDeviceEntryCopy(void*) {}
