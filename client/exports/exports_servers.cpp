// The server exports. A server handle is used only while it is a row of the server list.
#include <windows.h>

#include "handle_check.h"
#include "no_throw.h"
#include "pnxscapi.h"
#include "server_info.h"
#include "server_names.h"
#include "service_control.h"

using qz::NoThrow;

extern "C" int WINAPI PnxEnumServers(HWND service, int index, HPnxSv* server) {
    return NoThrow([&] { return LiveService(service) ? EnumServerEntries(service, index, server) : 0; });
}

extern "C" int WINAPI PnxGetServerInfo(HWND service, HPnxSv server, ServerInfo* info) {
    return NoThrow([&] { return ServiceAndServer(service, server) ? ServerInfoCopy(service, server, info) : 0; });
}

extern "C" HPnxSv WINAPI PnxGetHPnxSv(HWND ignored, HPnxDv device) {
    return NoThrow([&] { return ListedDevice(device) ? ServerOfDevice(ignored, device) : nullptr; });
}

extern "C" int WINAPI PnxRenewUsbDevices(HWND service, HPnxSv server, uint32_t mode) {
    return NoThrow([&] { return ServiceAndServer(service, server) ? ServerRenewDevices(service, server, mode) : 0; });
}

// The log window only says where the lines go.
extern "C" int WINAPI PnxGetPcAddress(HWND logWindow, HPnxSv server, uint32_t* address, uint32_t* mask,
                                      uint32_t* segment) {
    return NoThrow([&] {
        return ListedServer(server) ? ServerPcAddress(logWindow, server, address, mask, segment) : 0;
    });
}

extern "C" int WINAPI PnxSetServerOption(HWND service, HPnxSv server, uint16_t value) {
    return NoThrow([&] { return ServiceAndServer(service, server) ? ServerSetOption(service, server, value) : 0; });
}

extern "C" uintptr_t WINAPI PnxGetServerParam(HWND service, HPnxSv server) {
    return NoThrow([&] { return ServiceAndServer(service, server) ? ServerGetParam(service, server) : 0; });
}

extern "C" int WINAPI PnxSetServerParam(HWND service, HPnxSv server, uintptr_t value) {
    return NoThrow([&] { return ServiceAndServer(service, server) ? ServerSetParam(service, server, value) : 0; });
}

// The device-list packet is fixed by the protocol level; the setter is kept so that callers
// of older releases still link. Callers pass it anything: with the caller cleaning the stack,
// no count of arguments can unbalance it.
extern "C" int __cdecl PnxSetDeviceListPacket(...) { return 1; }
