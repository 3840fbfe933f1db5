// The server windows: one hidden window per server that runs its session.
#pragma once

#include <windows.h>

#include <cstdint>

#include "server_entry.h"

// Analysis states the service window looks at.
constexpr uint16_t kStateOpenSocket = 3;
constexpr uint16_t kStateAddressChanged = 11;

bool RegisterServerWindowClass(HINSTANCE instance);
void UnregisterServerWindowClass(HINSTANCE instance);

// Stops both channels and the probe and starts the analysis again from the probe.
void RestartServerAnalysis(HWND serverWindow);

// Applies a server status update (0 network error, 1 no device, 2 clear, 3 get status).
void ApplyServerStatusUpdate(HWND serverWindow, int type, bool apply);

// Handles a search reply waiting on the service window's search socket.
void HandleSearchReply(HWND service, WPARAM wParam, LPARAM lParam);
