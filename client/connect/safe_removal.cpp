#include "safe_removal.h"

#include <windows.h>
#include <setupapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bus_driver.h"
#include "connect_target.h"
#include "device_compare.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "log.h"
#include "os_info.h"
#include "pnp_tree.h"
#include "pnxscapi.h"
#include "usb_device_info.h"

namespace {

const GUID kUsbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

CONFIGRET Eject(DEVINST node, PNP_VETO_TYPE* veto) {
    char vetoName[MAX_PATH] = {};
    *veto = PNP_VetoTypeUnknown;
    return CM_Request_Device_EjectA(node, veto, vetoName, MAX_PATH, 0);
}

// The property's bytes as the system gives them, with two terminators after them whatever it
// wrote; empty when it has none.
std::vector<char> RegistryPropertyBytes(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property) {
    std::vector<char> buffer(256);
    DWORD needed = 0;
    // Grow while the property does not fit, as long as the system asks for more.
    for (int i = 0; i < 8; ++i) {
        DWORD room = static_cast<DWORD>(buffer.size() - 2);
        if (SetupDiGetDeviceRegistryPropertyA(set, data, property, nullptr, reinterpret_cast<BYTE*>(buffer.data()), room,
                                              &needed)) {
            buffer.resize(std::min<size_t>(needed, room));
            buffer.push_back('\0');
            buffer.push_back('\0');
            return buffer;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed > 65536) break;
        buffer.assign(static_cast<size_t>(needed) * 2 + 2, '\0');
    }
    return {};
}

std::string RegistryPropertyText(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property) {
    std::vector<char> bytes = RegistryPropertyBytes(set, data, property);
    return bytes.empty() ? std::string() : std::string(bytes.data());
}

// Every string of a string-list property, upper-cased.
std::vector<std::string> RegistryPropertyListUpper(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property) {
    std::vector<char> bytes = RegistryPropertyBytes(set, data, property);
    std::vector<std::string> items;
    for (size_t at = 0; at < bytes.size() && bytes[at] != '\0';) {
        std::string item(bytes.data() + at);
        at += item.size() + 1;
        CharUpperBuffA(item.data(), static_cast<DWORD>(item.size()));
        items.push_back(std::move(item));
    }
    return items;
}

bool AnyContains(const std::vector<std::string>& items, const char* wanted) {
    for (const std::string& item : items) {
        if (item.find(wanted) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

int SafetyRemove(HWND log, const std::string& instanceId) {
    if (instanceId.empty()) return 1;
    LogLine(log, "  Safety Remove: Start!");
    DEVINST node = 0;
    if (!LocateDeviceNode(instanceId, &node)) return 0;
    ULONG status = 0, problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, node, 0) != CR_SUCCESS) {
        LogLine(log, "  SafetyRemove: Get Status False.");
        return 0;
    }
    if (!(status & DN_DISABLEABLE) || !(status & DN_REMOVABLE)) {
        LogLine(log, "  SafetyRemove: Not Removable.");
        return 1;
    }
    LogLine(log, "  SafetyRemove: Status:0x%08x, Problem:0x%08x", static_cast<unsigned>(status), static_cast<unsigned>(problem));
    PNP_VETO_TYPE veto;
    CONFIGRET rc = Eject(node, &veto);
    if (rc == CR_SUCCESS) {
        LogLine(log, "  SafetyRemove: Success(1)!");
        return 1;
    }
    if (rc != CR_REMOVE_VETOED) {
        LogLine(log, "  SafetyRemove: Error(1)! -> 0x%08x", static_cast<unsigned>(rc));
        return 0;
    }
    rc = Eject(node, &veto);
    if (rc == CR_SUCCESS) {
        LogLine(log, "  SafetyRemove: Success(2)!");
        return 1;
    }
    if (rc == CR_REMOVE_VETOED) LogLine(log, "  SafetyRemove: Error(3)! -> Now Access!!");
    else LogLine(log, "  SafetyRemove: Error(2)! -> 0x%08x", static_cast<unsigned>(rc));
    return 0;
}

int SafetyRemoveOld(HWND log, uint16_t vid, uint16_t pid, uint32_t serverAddress, const char* location) {
    LogLine(log, "  Old Safety Remove: Start!");
    HDEVINFO set = SetupDiGetClassDevsA(&kUsbClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return 0;
    char wanted[32];
    snprintf(wanted, sizeof(wanted), "VID_%04X&PID_%04X", vid, pid);
    int result = 0;
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof(data);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        std::string enumerator = RegistryPropertyText(set, &data, SPDRP_ENUMERATOR_NAME);
        std::string service = RegistryPropertyText(set, &data, SPDRP_SERVICE);
        std::vector<std::string> hardware = RegistryPropertyListUpper(set, &data, SPDRP_HARDWAREID);
        if (_stricmp(enumerator.c_str(), "USB") != 0 || _strnicmp(service.c_str(), "USBSTOR", 7) != 0 ||
            !AnyContains(hardware, wanted)) {
            continue;
        }
        std::string driverKey = RegistryPropertyText(set, &data, SPDRP_DRIVER);
        DriverPortRequest port = {};
        if (!LookupPortByDeviceId(driverKey.c_str(), &port)) break;
        if (port.address != serverAddress || _stricmp(port.location, location ? location : "") != 0) continue;
        char id[kDeviceIdChars + 1] = {};
        if (!SetupDiGetDeviceInstanceIdA(set, &data, id, kDeviceIdChars, nullptr)) continue;
        LogLine(log, "    --> Instance ID: %s", id);
        if (SafetyRemove(log, id)) result = 1;
    }
    SetupDiDestroyDeviceInfoList(set);
    return result;
}

int SafeRemoveDevice(HWND service, HPnxDv device) {
    if (!service || !device) return 0;
    ConnectTarget target;
    {
        LibraryLock lock;
        if (device->removed || !device->info || !device->property || !device->ids) return 0;
    }
    if (!SnapshotDevice(device, &target)) return 0;
    if (GetOsCode(nullptr, nullptr) == kOsWin2000) {
        int result = 0;
        for (size_t i = 0; i < target.classes.size() && i < target.locations.size(); ++i) {
            if (target.classes[i] != kInterfaceClassStorage) continue;
            result = SafetyRemoveOld(service, target.vid, target.pid, target.serverAddress, target.locations[i].c_str());
            if (!result) break;
        }
        return result;
    }
    if (IsDisplayLinkDevice(target.vid, target.pid) || StrStrIA(target.name.c_str(), "DisplayLink")) return 0;
    return SafetyRemove(service, target.busId);
}
