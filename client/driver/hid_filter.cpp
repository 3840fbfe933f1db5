#include "hid_filter.h"

#include <windows.h>
#include <setupapi.h>

#include <string>

#include "pnp_tree.h"

namespace {

const GUID kHidFilterInterface = {0xBD24F697, 0xFB87, 0x411C, {0x8A, 0x48, 0x75, 0x85, 0x43, 0xD0, 0x5C, 0x88}};

}  // namespace

bool HidFilterDevicePresent() {
    HDEVINFO set = SetupDiGetClassDevsA(&kHidFilterInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return false;
    std::string lastId;
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof(iface);
    for (DWORD i = 0; i < 4096 && SetupDiEnumDeviceInterfaces(set, nullptr, &kHidFilterInterface, i, &iface); ++i) {
        SP_DEVINFO_DATA data = {};
        data.cbSize = sizeof(data);
        char id[kDeviceIdChars + 1] = {};
        if (SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, nullptr, &data) || GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            if (SetupDiGetDeviceInstanceIdA(set, &data, id, kDeviceIdChars, nullptr)) lastId = id;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    std::string filter;
    return !lastId.empty() && GetDeviceProperty(lastId, kDevicePropertyUpperFilters, &filter) && _stricmp(filter.c_str(), "zkhidflt") == 0;
}
