// The printer list of the service window (list 1004): the local printers on device ports.
#pragma once

#include <windows.h>

#include "win_handles.h"

// True for a port of a connected device: six characters beginning with "USB", or beginning
// with "DOT4" (any case).
bool IsDevicePort(const char* port);

// Adds a row: printer name in column 0 (with the item data), port name in column 1.
bool AddPrinterRow(HWND service, const char* printer, const char* port, LPARAM data);

// Finds the row of the printer; when its port equals `port` exactly, clears the row's
// selection mark and returns true.
bool MatchPrinterRow(HWND service, const char* printer, const char* port);

// The local printers at information level 2 or 5 in one process-heap block, and their count.
// An empty block when the enumeration fails or there are no printers.
qz::HeapBlock EnumLocalPrinters(DWORD level, DWORD* count);
