// The connect exports: the queue's requests and steering, automatic-connect marks, the safe
// removal of a device and the bus driver's connection state.
#include <windows.h>

#include "bus_driver.h"
#include "connect_queue.h"
#include "handle_check.h"
#include "no_throw.h"
#include "pnxscapi.h"
#include "safe_removal.h"

using qz::NoThrow;

extern "C" int WINAPI PnxConnectUsbDevice(HWND service, HWND requester, HPnxDv device, uint16_t wait, uint16_t action,
                                          void* buffer, uint32_t size) {
    return NoThrow([&] {
        return ServiceAndDevice(service, device) ? QueueConnect(service, requester, device, wait, action, buffer, size)
                                                 : 0;
    });
}

extern "C" int WINAPI PnxConnectInterruption(HWND service, HWND requester, HPnxDv device, uint16_t wait,
                                             uint16_t action, int position) {
    return NoThrow([&] {
        return ServiceAndDevice(service, device) ? QueueConnectAt(service, requester, device, wait, action, position)
                                                 : 0;
    });
}

extern "C" int WINAPI PnxDisconnectUsbDevice(HWND service, HWND requester, HPnxDv device, uint16_t action) {
    return NoThrow([&] {
        return ServiceAndDevice(service, device) ? QueueDisconnect(service, requester, device, action) : 0;
    });
}

extern "C" int WINAPI PnxDisconnectInterruption(HWND service, HWND requester, HPnxDv device, uint16_t action,
                                                int position) {
    return NoThrow([&] {
        return ServiceAndDevice(service, device) ? QueueDisconnectAt(service, requester, device, action, position) : 0;
    });
}

extern "C" int WINAPI PnxConnectStart(HWND service, uint16_t step) {
    return NoThrow([&] { return LiveService(service) ? QueueStepAnswer(service, step) : 0; });
}

extern "C" int WINAPI PnxConnectStop(HWND service) {
    return NoThrow([&] { return LiveService(service) ? QueueHold(service) : 0; });
}

extern "C" int WINAPI PnxConnectCancel(HWND service) {
    return NoThrow([&] { return LiveService(service) ? QueueCancel(service) : 0; });
}

extern "C" int WINAPI PnxEnumConnect(HWND service, int index, ConnectEnumItem* out) {
    return NoThrow([&] { return LiveService(service) ? QueueEnumRequest(service, index, out) : 0; });
}

extern "C" int WINAPI PnxSetAutoConnect(HWND service, HPnxDv device, uint16_t type) {
    return NoThrow([&] {
        return ServiceAndDevice(service, device) ? ChangeAutoConnect(service, device, type, true) : 0;
    });
}

extern "C" int WINAPI PnxDeleteAutoConnect(HWND service, HPnxDv device, uint16_t type) {
    return NoThrow([&] {
        return ServiceAndDevice(service, device) ? ChangeAutoConnect(service, device, type, false) : 0;
    });
}

extern "C" int WINAPI PnxSafeRemovalDevice(HWND service, HPnxDv device) {
    return NoThrow([&] { return ServiceAndDevice(service, device) ? SafeRemoveDevice(service, device) : 0; });
}

extern "C" int WINAPI PnxZkuptpConnection(HWND) {
    return NoThrow([] { return ReadDriverConnection() ? 1 : 0; });
}
