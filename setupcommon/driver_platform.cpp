#include "driver_platform.h"
#include "system_library.h"

#include <win_handles.h>

#include <setupapi.h>

#include <cstring>
#include <memory>

namespace {

constexpr DWORD kInstallFlagForce = 0x00000001;  // INSTALLFLAG_FORCE

using UpdateFn = BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);

// A device information list, destroyed with the object.
struct DeviceList {
    explicit DeviceList(HDEVINFO set) : set(set) {}
    ~DeviceList() {
        if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    HDEVINFO set;
};

// True when the multi-string hardware-id list of the device holds the id (any case).
bool HasHardwareId(HDEVINFO set, SP_DEVINFO_DATA& device, const char* hardwareId) {
    BYTE ids[4096] = {};
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, ids, sizeof ids - 2, &size)) {
        return false;
    }
    for (const char* p = reinterpret_cast<const char*>(ids); *p && p < reinterpret_cast<const char*>(ids) + size;
         p += std::strlen(p) + 1) {
        if (lstrcmpiA(p, hardwareId) == 0) return true;
    }
    return false;
}

// Calls visit on each device (all classes, present or not) with the hardware id until it
// returns false.
template <typename Visit>
void ForEachDevice(const char* hardwareId, Visit visit) {
    DeviceList list(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
    if (list.set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(list.set, i, &device); ++i) {
        if (HasHardwareId(list.set, device, hardwareId) && !visit(list.set, device)) return;
    }
}

DWORD CallUpdate(HWND window, const char* hardwareId, const char* inf, BOOL* reboot) {
    qz::Module newdev(LoadSystemLibrary("newdev.dll"));
    if (!newdev) return ERROR_MOD_NOT_FOUND;
    auto update = reinterpret_cast<UpdateFn>(
        reinterpret_cast<void*>(GetProcAddress(newdev.get(), "UpdateDriverForPlugAndPlayDevicesA")));
    if (!update) return ERROR_PROC_NOT_FOUND;
    BOOL restart = FALSE;
    if (update(window, hardwareId, inf, kInstallFlagForce, &restart)) {
        if (reboot) *reboot = restart;
        return ERROR_SUCCESS;
    }
    DWORD error = GetLastError();
    if (reboot) *reboot = FALSE;
    return error ? error : ERROR_GEN_FAILURE;
}

HANDLE OpenDevice(const char* name) {
    std::string path = std::string("\\\\.\\") + (name ? name : "");
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

SystemDriverPlatform g_systemDrivers;
DriverPlatform* g_drivers = nullptr;  // set by tests only

}  // namespace

bool SystemDriverPlatform::DeviceExists(const char* hardwareId) {
    bool found = false;
    ForEachDevice(hardwareId, [&](HDEVINFO, SP_DEVINFO_DATA&) {
        found = true;
        return false;
    });
    return found;
}

bool SystemDriverPlatform::InstalledDriverVersion(const char* hardwareId, std::string& version) {
    bool found = false;
    ForEachDevice(hardwareId, [&](HDEVINFO set, SP_DEVINFO_DATA& device) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) return true;
        qz::RegKey owned(key);
        char text[64] = "";
        DWORD size = sizeof text - 1, type = 0;
        if (RegQueryValueExA(key, "DriverVersion", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            text[size < sizeof text ? size : sizeof text - 1] = 0;
            version = text;
        }
        found = true;
        return false;
    });
    return found;
}

DWORD SystemDriverPlatform::UpdateDriver(HWND window, const char* hardwareId, const char* inf, BOOL* reboot) {
    return CallUpdate(window, hardwareId, inf, reboot);
}

DWORD SystemDriverPlatform::InstallRootDevice(HWND window, const char* hardwareId, const char* inf, BOOL* reboot,
                                              std::string& failedStep) {
    GUID classGuid;
    char className[128] = "";
    failedStep = "Create Device Info";
    if (!SetupDiGetINFClassA(inf, &classGuid, className, sizeof className, nullptr)) return GetLastError();
    DeviceList list(SetupDiCreateDeviceInfoList(&classGuid, window));
    if (list.set == INVALID_HANDLE_VALUE) return GetLastError();
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoA(list.set, className, &classGuid, nullptr, window, DICD_GENERATE_ID, &device)) {
        return GetLastError();
    }
    // Each step's own result decides; a later call may reset the last error.
    failedStep = "Registry Property";
    std::string ids = std::string(hardwareId) + '\0' + '\0';
    if (!SetupDiSetDeviceRegistryPropertyA(list.set, &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(ids.data()), static_cast<DWORD>(ids.size()))) {
        DWORD error = GetLastError();
        SetupDiDeleteDeviceInfo(list.set, &device);
        return error;
    }
    failedStep = "Class Installer";
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, list.set, &device)) {
        DWORD error = GetLastError();
        SetupDiDeleteDeviceInfo(list.set, &device);
        return error;
    }
    failedStep = "PlugAndPlay";
    DWORD error = CallUpdate(window, hardwareId, inf, reboot);
    if (error != ERROR_SUCCESS) SetupDiCallClassInstaller(DIF_REMOVE, list.set, &device);
    else failedStep.clear();
    return error;
}

BOOL SystemDriverPlatform::SetRemoveParams(HDEVINFO set, SP_DEVINFO_DATA* device, SP_REMOVEDEVICE_PARAMS* params) {
    SetLastError(ERROR_SUCCESS);
    if (SetupDiSetClassInstallParamsA(set, device, &params->ClassInstallHeader, sizeof *params)) return TRUE;
    // Wine's call (the wide one too) is a stub that fails without an error code, and Wine's
    // DIF_REMOVE removes the device globally with no parameters at all; a real failure always
    // comes with its code.
    return GetLastError() == ERROR_SUCCESS;
}

DWORD SystemDriverPlatform::RemoveOneDevice(const char* hardwareId, bool* reboot, DWORD* paramsError) {
    DWORD result = ERROR_NO_MORE_ITEMS;
    if (paramsError) *paramsError = ERROR_SUCCESS;
    ForEachDevice(hardwareId, [&](HDEVINFO set, SP_DEVINFO_DATA& device) {
        SP_REMOVEDEVICE_PARAMS params{};
        params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
        params.ClassInstallHeader.InstallFunction = DIF_REMOVE;
        params.Scope = DI_REMOVEDEVICE_GLOBAL;
        params.HwProfile = 0;
        if (!SetRemoveParams(set, &device, &params) || !SetupDiCallClassInstaller(DIF_REMOVE, set, &device)) {
            result = GetLastError();
            if (result == ERROR_SUCCESS || result == ERROR_NO_MORE_ITEMS) result = ERROR_GEN_FAILURE;
            return false;
        }
        SP_DEVINSTALL_PARAMS_A install{};
        install.cbSize = sizeof install;
        if (!SetupDiGetDeviceInstallParamsA(set, &device, &install)) {
            DWORD error = GetLastError();
            if (paramsError) *paramsError = error ? error : ERROR_GEN_FAILURE;
        } else if ((install.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) && reboot) {
            *reboot = true;
        }
        result = ERROR_SUCCESS;
        return false;
    });
    return result;
}

std::vector<ComPortInfo> SystemDriverPlatform::ListComPorts() {
    std::vector<ComPortInfo> ports;
    GUID guids[4];
    DWORD count = 0;
    if (!SetupDiClassGuidsFromNameA("PORTS", guids, 4, &count) || count == 0) return ports;
    DeviceList list(SetupDiGetClassDevsA(&guids[0], nullptr, nullptr, DIGCF_PRESENT));
    if (list.set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(list.set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(list.set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        qz::RegKey owned(key);
        char port[64] = "";
        DWORD size = sizeof port - 1, type = 0;
        if (RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(port), &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            continue;
        }
        port[size < sizeof port ? size : sizeof port - 1] = 0;
        if (_strnicmp(port, "COM", 3) != 0) continue;
        char friendly[256] = "";
        SetupDiGetDeviceRegistryPropertyA(list.set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                          reinterpret_cast<BYTE*>(friendly), sizeof friendly - 1, nullptr);
        ports.push_back({port, friendly});
    }
    return ports;
}

bool SystemDriverPlatform::IsDriverConnected(const char* name) {
    qz::FileHandle device(OpenDevice(name));
    if (!device) return false;
    BYTE value = 0;
    DWORD got = 0;
    return ReadFile(device.get(), &value, 1, &got, nullptr) && got == 1 && value == 1;
}

bool SystemDriverPlatform::SendDeviceControl(const char* name, DWORD code, const void* input, DWORD inputBytes) {
    qz::FileHandle device(OpenDevice(name));
    if (!device) return false;
    DWORD returned = 0;
    return DeviceIoControl(device.get(), code, const_cast<void*>(input), inputBytes, nullptr, 0, &returned,
                           nullptr) != FALSE;
}

DriverPlatform& Drivers() { return g_drivers ? *g_drivers : g_systemDrivers; }
void SetDriverPlatform(DriverPlatform* platform) { g_drivers = platform; }
