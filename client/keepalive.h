// The keep-alive socket of the service window.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr uint16_t kKeepAlivePort = 49235;

// Opens the socket on the port with read notices as `message` to the window. False on failure.
bool OpenKeepAliveSocket(HWND window, uint16_t port, UINT message);

// Closes the socket; harmless when none is open.
void CloseKeepAliveSocket();

// Reads what the socket notice announced (called under the library lock).
void ReadKeepAliveSocket(HWND window, WPARAM wParam, LPARAM lParam);
