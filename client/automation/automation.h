// Per-device automation (Auto Application, Auto Printer) as seen from the service window.
#pragma once

#include <windows.h>

#include <cstdint>

// Tells the Auto Printer watcher of every device of every server that a printer appeared.
void NotifyPrinterAppeared(HWND service);

// Frees a device-entry copy that an ending Auto Application thread handed back.
void FreeDeviceEntryCopy(void* copy);

struct DeviceEntry;

// PNXM_AUTO_PRINTER 0 on a server window: suspends each device's Auto Application watcher and,
// unless keepAutoPrinter is set, its Auto Printer watcher.
void SuspendServerAutomation(HWND serverWindow, bool keepAutoPrinter);
// PNXM_AUTO_PRINTER 1: resumes them and evaluates Auto Printer again.
void ResumeServerAutomation(HWND serverWindow);
// PNXM_RUN_APPLICATION on a server window: starts a device's watched applications.
void RunDeviceApplications(HWND serverWindow, WPARAM wParam, LPARAM lParam);
// After a device-list update (mode 0) or on resume: the device's Auto Application and, when
// its settings ask for it and it has printers, its Auto Printer.
void StartDeviceAutomation(HWND serverWindow, DeviceEntry* device, uint16_t mode);
void StartServerAutomation(HWND serverWindow);
// A device row is being deleted: releases its Auto Application and Auto Printer records.
void ReleaseDeviceAutomation(DeviceEntry* device);
