// Bringing windows to the front and centring them on their owner's monitor.
#pragma once

#include <windows.h>

int ForceForegroundWindow(HWND window, int osCode);
void CenterWindowOnMonitor(HWND window, HWND reference);
