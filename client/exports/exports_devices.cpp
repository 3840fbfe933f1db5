// The device exports: records, settings, lookups and printers of a server's USB devices. A
// device handle is used only while it is a row of a listed server's device or storage list.
#include <windows.h>

#include "device_printers.h"
#include "device_records.h"
#include "handle_check.h"
#include "no_throw.h"
#include "pnxscapi.h"
#include "server_info.h"

using qz::NoThrow;

extern "C" int WINAPI PnxEnumUsbDevices(HWND ignored, HPnxSv server, uint32_t index, HPnxDv* device) {
    return NoThrow([&] { return ListedServer(server) ? DeviceEnum(ignored, server, index, device) : 0; });
}

extern "C" int WINAPI PnxInitUsbDeviceInfo(HWND service, UsbDeviceInfo* info, PropertyInfo* property) {
    return NoThrow([&] { return DeviceInitRecords(service, info, property); });
}

extern "C" int WINAPI PnxFreeUsbDeviceInfo(HWND service, UsbDeviceInfo* info, PropertyInfo* property) {
    return NoThrow([&] { return DeviceFreeRecords(service, info, property); });
}

extern "C" int WINAPI PnxGetUsbDeviceInfo(HWND service, HPnxDv device, UsbDeviceInfo* info, PropertyInfo* property) {
    return NoThrow([&] { return ListedDevice(device) ? DeviceGetInfo(service, device, info, property) : 0; });
}

extern "C" int WINAPI PnxSetUsbDeviceInfo(HWND ignored, HPnxDv device, const PropertyInfo* property) {
    return NoThrow([&] { return ListedDevice(device) ? DeviceSetInfo(ignored, device, property) : 0; });
}

extern "C" HPnxDv WINAPI PnxGetHPnxDv(HWND ignored, const DeviceLookup* lookup) {
    return NoThrow([&] { return DeviceFind(ignored, lookup); });
}

extern "C" int WINAPI PnxGetComPortInfo(HWND service, HPnxDv device, ComPortInfo* out) {
    return NoThrow([&] { return ListedDevice(device) ? DeviceComPort(service, device, out) : 0; });
}

extern "C" int WINAPI PnxGetUsbDevicePath(HWND service, HPnxDv device, HKEY* root, char* path) {
    return NoThrow([&] {
        return ServiceAndDevice(service, device) ? DeviceStorePath(service, device, root, path) : 0;
    });
}

extern "C" uint16_t WINAPI PnxGetConnectAction(HWND ignored, HPnxDv device) {
    return NoThrow([&] { return ListedDevice(device) ? DeviceConnectAction(ignored, device) : uint16_t{0}; });
}

extern "C" int WINAPI PnxEnumDeviceInstanceId(HWND service, HPnxDv device, uint32_t index, char* buffer, int size) {
    return NoThrow([&] {
        return ServiceAndDevice(service, device) ? DeviceInstanceId(service, device, index, buffer, size) : 0;
    });
}

extern "C" uintptr_t WINAPI PnxGetDeviceParam(HWND service, HPnxDv device) {
    return NoThrow([&] { return ServiceAndDevice(service, device) ? DeviceGetParam(service, device) : uintptr_t{0}; });
}

extern "C" int WINAPI PnxSetDeviceParam(HWND service, HPnxDv device, uintptr_t value) {
    return NoThrow([&] { return ServiceAndDevice(service, device) ? DeviceSetParam(service, device, value) : 0; });
}

extern "C" int WINAPI PnxGetPrinterInfo(HWND ignored, HPnxDv device, uint32_t* count, PrinterInfo** names,
                                        uint32_t* size, uint32_t source) {
    return NoThrow([&] {
        return ListedDevice(device) ? DeviceGetPrinters(ignored, device, count, names, size, source) : 0;
    });
}

extern "C" int WINAPI PnxFreePrinterInfo(HWND ignored, PrinterInfo* names) {
    return NoThrow([&] { return FreePrinterBlock(ignored, names); });
}

extern "C" int WINAPI PnxSetPrinterInfo(HWND ignored, HPnxDv device, const char* names, uint32_t count) {
    return NoThrow([&] { return ListedDevice(device) ? DeviceSetPrinters(ignored, device, names, count) : 0; });
}
