// The settings exports: default properties, conversions of older settings, the blackout
// settings, and the bus driver's version, ownership values and HID filter.
#include <windows.h>

#include "blackout.h"
#include "bus_driver.h"
#include "default_property.h"
#include "driver_version.h"
#include "handle_check.h"
#include "no_throw.h"
#include "old_data_conversion.h"
#include "pnxscapi.h"

using qz::NoThrow;

extern "C" int WINAPI PnxGetDefaultPropertyInfo(HWND ignored, PropertyInfo* property) {
    return NoThrow([&] { return GetDefaultProperty(ignored, property); });
}

extern "C" int WINAPI PnxSetDefaultPropertyInfo(HWND ignored, const PropertyInfo* property) {
    return NoThrow([&] { return SetDefaultProperty(ignored, property); });
}

extern "C" int WINAPI PnxGetDefaultPropertyInfoEx(HWND ignored, void* buffer, uint32_t ignored2, uint32_t* value) {
    return NoThrow([&] { return GetDefaultPropertyTable(ignored, buffer, ignored2, value); });
}

extern "C" int WINAPI PnxSetDefaultPropertyInfoEx(HWND ignored, const PropertyInfoEx* list, uint32_t count,
                                                  uint32_t value) {
    return NoThrow([&] { return SetDefaultPropertyTable(ignored, list, count, value); });
}

extern "C" int WINAPI PnxConvertOldUsbData(HWND ignored, const char* location, uint16_t deleteOld) {
    return NoThrow([&] { return ConvertOldData(ignored, location, deleteOld); });
}

extern "C" int WINAPI PnxConvertProperty(HWND service, uint16_t mode, uint16_t type, const uint16_t* bits,
                                         uint32_t size) {
    return NoThrow([&] { return LiveService(service) ? ConvertPropertyBits(service, mode, type, bits, size) : 0; });
}

extern "C" int WINAPI PnxGetBlackoutInfo(HWND service, BlackoutInfo* info) {
    return NoThrow([&] { return LiveService(service) ? GetBlackoutSettings(service, info) : 0; });
}

extern "C" int WINAPI PnxSetBlackoutInfo(HWND service, const BlackoutInfo* info) {
    return NoThrow([&] { return LiveService(service) ? SetBlackoutSettings(service, info) : 0; });
}

extern "C" int WINAPI PnxGetZkuptpDriverVersion(HWND, DriverVersionInfo* info) {
    return NoThrow([&] { return QueryDriverVersion(info); });
}

extern "C" int WINAPI PnxGetOwnershipInterface(HWND, uint32_t* value) {
    return NoThrow([&] { return GetOwnershipInterface(value); });
}

extern "C" int WINAPI PnxSetOwnershipInterface(HWND, uint32_t value) {
    return NoThrow([&] { return SetOwnershipInterface(value); });
}

extern "C" int WINAPI PnxGetOwnershipReleaseTime(HWND, uint32_t* value) {
    return NoThrow([&] { return GetOwnershipReleaseTime(value); });
}

extern "C" int WINAPI PnxSetOwnershipReleaseTime(HWND, uint32_t value) {
    return NoThrow([&] { return SetOwnershipReleaseTime(value); });
}

extern "C" int WINAPI PnxSetFilteringHIDevice(HWND, uint16_t mode, const uint16_t* values) {
    return NoThrow([&] { return SetHidFilter(mode, values); });
}
