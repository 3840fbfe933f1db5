// The exports of the library's life cycle, registration, debug mode, broadcast lists and
// service control. Each checks its handles, runs its body without letting an exception out
// and returns the body's result; the bodies live with their concern.
#include <windows.h>

#include "broadcast_list.h"
#include "debug_mode.h"
#include "handle_check.h"
#include "lib_init.h"
#include "no_throw.h"
#include "pnxscapi.h"
#include "registration.h"
#include "service_control.h"

using qz::NoThrow;

extern "C" int WINAPI PnxInitialize() {
    return NoThrow([] {
        int result = OneTimeInitialize();
        SendDueHelperClear();
        return result;
    });
}

extern "C" int WINAPI PnxUninitialize() { return NoThrow([] { return OneTimeUninitialize(); }); }

extern "C" HWND WINAPI PnxRegisterNotification(HWND clientWindow, const RegisterConfig* config) {
    return NoThrow([&] { return RegisterClientWindow(clientWindow, config); });
}

// The body tells a null handle, a window that is gone and another window apart itself.
extern "C" int WINAPI PnxUnRegisterNotification(HWND service) {
    return NoThrow([&] { return UnregisterClientWindow(service); });
}

extern "C" int WINAPI PnxRegisterSpecialNotification(HWND ignored, uint32_t options) {
    return NoThrow([&] { return StoreSpecialNotification(ignored, options); });
}

extern "C" int WINAPI PnxDebugMode(HWND service, const DebugModeInfo* info) {
    return NoThrow([&] { return LiveService(service) ? ApplyDebugMode(service, info) : 0; });
}

// The broadcast lists work before registration too: their service handle only says where the
// lines are logged.
extern "C" int WINAPI PnxInitBroadcastAddr(HWND service, const char* location) {
    return NoThrow([&] { return InitBroadcastStore(service, location); });
}

extern "C" int WINAPI PnxGetBroadcastAddr(HWND service, uint32_t* addresses, uint32_t capacityBytes, uint32_t* count) {
    return NoThrow([&] { return ReadBroadcastAddresses(service, addresses, capacityBytes, count); });
}

extern "C" int WINAPI PnxSetBroadcastAddr(HWND service, const uint32_t* addresses, uint32_t count) {
    return NoThrow([&] { return WriteBroadcastAddresses(service, addresses, count); });
}

extern "C" int WINAPI PnxSetBroadcastAddrMemory(HWND service, const uint32_t* addresses, uint32_t count) {
    return NoThrow([&] { return ReplaceMemoryBroadcastAddresses(service, addresses, count); });
}

extern "C" int WINAPI PnxSetPortAndRuleNumber(HWND service, uint32_t port, uint32_t rule) {
    return NoThrow([&] { return LiveService(service) ? ServiceSetPortAndRule(service, port, rule) : 0; });
}

extern "C" int WINAPI PnxSetSearchFilter(HWND service, int kind, const char* list) {
    return NoThrow([&] { return LiveService(service) ? ServiceSetFilter(service, kind, list) : 0; });
}

extern "C" int WINAPI PnxSetSearchFilterEx(HWND service, int kind, const char* list) {
    return NoThrow([&] { return LiveService(service) ? ServiceSetFilterEx(service, kind, list) : 0; });
}

extern "C" int WINAPI PnxSetSearchFilterRefresh() { return NoThrow([] { return ServiceRefreshFilter(); }); }

extern "C" int WINAPI PnxGetServiceProperties(HWND service, ServiceProperties* properties) {
    return NoThrow([&] { return LiveService(service) ? ServiceGetProperties(service, properties) : 0; });
}

extern "C" int WINAPI PnxStartService(HWND service, const ServiceProperties* properties) {
    return NoThrow([&] { return LiveService(service) ? ServiceStart(service, properties) : 0; });
}

extern "C" int WINAPI PnxEndService(HWND service) {
    return NoThrow([&] { return LiveService(service) ? ServiceEnd(service) : 0; });
}

extern "C" int WINAPI PnxSuspendService(HWND service, int keepPrinters) {
    return NoThrow([&] { return LiveService(service) ? ServiceSuspend(service, keepPrinters) : 0; });
}

extern "C" int WINAPI PnxResumeService(HWND service, const ServiceProperties* properties) {
    return NoThrow([&] { return LiveService(service) ? ServiceResume(service, properties) : 0; });
}

extern "C" int WINAPI PnxRenewService(HWND service, int mode) {
    return NoThrow([&] { return LiveService(service) ? ServiceRenew(service, mode) : 0; });
}

extern "C" int WINAPI PnxGetRdpPort(HWND service, uint32_t* port) {
    return NoThrow([&] { return LiveService(service) ? ServiceGetRdpPort(service, port) : 0; });
}

extern "C" int WINAPI PnxSetRdpPort(HWND service, uint32_t port) {
    return NoThrow([&] { return LiveService(service) ? ServiceSetRdpPort(service, port) : 0; });
}

extern "C" int WINAPI PnxDetectedServer(HWND service, DetectedServer* servers, uint32_t* count) {
    return NoThrow([&] { return LiveService(service) ? ServiceDetectedServers(service, servers, count) : 0; });
}
