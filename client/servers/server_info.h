// What callers read and set of a server entry. Each takes a handle the caller has checked
// to be a listed server (or device); 0 or null for a null argument.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pnxscapi.h"

// The server at row `index` of the service window's server list.
int EnumServerEntries(HWND service, int index, HPnxSv* server);
// A copy of the server's information block, texts always terminated.
int ServerInfoCopy(HWND service, HPnxSv server, ServerInfo* info);
// The caller's option word of the server.
int ServerSetOption(HWND service, HPnxSv server, uint16_t value);
// The server entry that a device belongs to.
HPnxSv ServerOfDevice(HWND service, HPnxDv device);
// A pointer-sized value of the caller's kept with the server.
uintptr_t ServerGetParam(HWND service, HPnxSv server);
int ServerSetParam(HWND service, HPnxSv server, uintptr_t value);
// The device of the lookup: its server by hardware address, then name (any case), the start
// of its location list and its ids; null when none matches.
HPnxDv DeviceFind(HWND ignored, const DeviceLookup* lookup);
