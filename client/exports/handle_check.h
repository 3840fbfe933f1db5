// The handle checks of the exports. A caller may keep a handle after its server or device was
// reported deleted, or pass anything at all: a handle is used only once it has been found
// among the library's own lists, and a pointer that was not found is never dereferenced.
// Servers and entries are deleted on the thread that owns the library's windows, which is the
// thread the client calls from, so an entry found here is still there for the body that runs
// next.
#pragma once

#include <windows.h>

#include "pnxscapi.h"

// True when `service` is the library's registered service window and still exists.
bool LiveService(HWND service);

// True while `server` is a row of the service window's server list.
bool ListedServer(HPnxSv server);

// True while `device` is a row of some listed server's device list or storage list.
bool ListedDevice(HPnxDv device);

// The two checks of an export that takes the service handle and a server or device handle.
inline bool ServiceAndServer(HWND service, HPnxSv server) { return LiveService(service) && ListedServer(server); }
inline bool ServiceAndDevice(HWND service, HPnxDv device) { return LiveService(service) && ListedDevice(device); }
