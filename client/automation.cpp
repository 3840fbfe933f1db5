#include "automation.h"

// No Auto Printer watchers exist yet.
void NotifyPrinterAppeared(HWND) {}

// No Auto Application thread hands copies back yet.
void FreeDeviceEntryCopy(void*) {}

// No device has automation records yet.
void SuspendServerAutomation(HWND, bool) {}
void ResumeServerAutomation(HWND) {}
void RunDeviceApplications(HWND, WPARAM, LPARAM) {}
void ReleaseDeviceAutomation(DeviceEntry*) {}
