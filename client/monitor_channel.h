// Monitor channels: hidden windows of class "HIDE.MONITOR.CLASS.TW" that run one
// request/response exchange with a server and post the reassembled reply to their owner.
#pragma once

#include <windows.h>

#include <cstddef>

// Registers the monitor window class; reassemblySize is the largest reply a channel collects.
bool RegisterMonitorWindowClass(HINSTANCE instance, size_t reassemblySize);
void UnregisterMonitorWindowClass(HINSTANCE instance);
