// The server windows: one hidden window of class "MARDANE_TECH_ZKUPTP" per server, which runs
// the server's session (analysis, timers, keep-alive) and owns its device and storage lists.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "server_analysis.h"
#include "server_entry.h"

struct DeviceEntry;

bool RegisterServerWindowClass(HINSTANCE instance);
void UnregisterServerWindowClass(HINSTANCE instance);

// What a server window hands on to automation, which registers these at library start
// (LibraryAttach); until then the messages do nothing.
struct ServerAutomationHooks {
    void (*suspend)(HWND serverWindow, bool keepAutoPrinter) = nullptr;  // PNXM_AUTO_PRINTER 0
    void (*resume)(HWND serverWindow) = nullptr;                         // PNXM_AUTO_PRINTER 1
    void (*runApplications)(HWND serverWindow, WPARAM wParam, LPARAM lParam) = nullptr;  // PNXM_RUN_APPLICATION
    void (*deviceRowDeleted)(DeviceEntry* device) = nullptr;             // a device row's delete notice
};
void SetServerAutomationHooks(const ServerAutomationHooks& hooks);

// What a server's session hands on to its storage list, which registers these at library start
// (LibraryAttach); until then they do nothing.
struct ServerStorageHooks {
    void (*listReply)(HWND serverWindow, UINT message, const uint8_t* data, size_t length) = nullptr;
    void (*renew)(HWND serverWindow) = nullptr;                   // the storage list is due again
    void (*markError)(HWND serverWindow, int errorKind) = nullptr;  // a network error of the server
    void (*destroy)(HWND serverWindow) = nullptr;                 // the server window goes
    void (*reread)(ServerEntry* entry) = nullptr;                 // the storage flag changed
};
void SetServerStorageHooks(const ServerStorageHooks& hooks);
const ServerStorageHooks& TheServerStorageHooks();

// Creates the hidden window of a new server, owned by the service window, with the
// hardware-address text as its caption; the entry becomes its user data and the window is
// stored in the entry. Null when the window cannot be made.
HWND CreateServerWindow(HWND service, const char* hardwareText, ServerEntry* entry);

// Applies a server status update (0 network error, 1 no device, 2 clear, 3 get status).
void ApplyServerStatusUpdate(HWND serverWindow, int type, bool apply);

// Handles a search reply waiting on the service window's search socket.
void HandleSearchReply(HWND service, WPARAM wParam, LPARAM lParam);
