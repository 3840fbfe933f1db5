#include "driver_installer.h"

#include "driver_platform.h"
#include "os_info.h"
#include "path_helpers.h"
#include "registry_value.h"
#include "service_installer.h"
#include "setup_log.h"

#include <win_handles.h>

#include <setupapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMaxDeviceRemovals = 64;  // every device with the id, but never an endless loop

std::string SystemFolder() {
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, sizeof path);
    return path;
}

std::string WindowsFolder() {
    char path[MAX_PATH] = "";
    GetWindowsFolder(path, sizeof path);
    return path;
}

std::string Join(std::string a, const char* b) {
    char path[MAX_PATH];
    lstrcpynA(path, a.c_str(), sizeof path);
    AppendPath(path, sizeof path, b);
    return path;
}

std::string Lower(std::string s) {
    CharLowerBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

void ClearAttributes(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }

void DeleteLogged(const char* line, const std::string& path) {
    LogPrintf(line, path.c_str());
    ClearAttributes(path);
    DeleteFileA(path.c_str());
}

struct DriverJob {
    HWND window;
    const DriverRequest* request;
    int osCode;
    uint32_t osFlags;
    std::string className;
    std::string hardwareId;
    std::vector<SysFileEntry> entries;
    bool installed = false;
};

bool InstallPnpDriver(DriverJob& job, BOOL* reboot) {
    const SysFileEntry& first = job.entries[0];
    std::string drivers = Join(SystemFolder(), "drivers");
    const char* name = std::strrchr(first.sysPath, '\\');
    std::string target = Join(drivers, name ? name + 1 : first.sysPath);
    ClearAttributes(target);
    BOOL copied = CopyFileA(first.sysPath, target.c_str(), FALSE);
    ClearAttributes(target);
    if (!copied) return false;
    if (!SetupCopyOEMInfA(job.request->InfFile, drivers.c_str(), SPOST_PATH, 0, nullptr, 0, nullptr, nullptr)) {
        LogPrintf("  -- > Error: 0x%08lx", GetLastError());
        return false;
    }
    DWORD error = Drivers().UpdateDriver(job.window, job.hardwareId.c_str(), job.request->InfFile, reboot);
    if (error == ERROR_SUCCESS) return true;
    LogPrintf("  [Pnp] is fault(0x%08lx).", error);
    *reboot = FALSE;
    // Only "no such device" means staged: the package installs when the device is plugged in.
    return error == ERROR_NO_SUCH_DEVINST;
}

bool InstallSystemDriver(DriverJob& job, BOOL* reboot) {
    if (job.installed) {
        DWORD error = Drivers().UpdateDriver(job.window, job.hardwareId.c_str(), job.request->InfFile, reboot);
        if (error != ERROR_SUCCESS) {
            LogPrintf("  [Pnp] is failed(0x%08lx).", error);
            return false;
        }
        return true;
    }
    std::string step;
    DWORD error = Drivers().InstallRootDevice(job.window, job.hardwareId.c_str(), job.request->InfFile, reboot, step);
    if (error != ERROR_SUCCESS) {
        LogPrintf("  [%s] is failed(0x%08lx).", step.c_str(), error);
        return false;
    }
    return true;
}

uint32_t InstallDriver(DriverJob& job) {
    BOOL reboot = FALSE;
    bool ok;
    if (lstrcmpiA(job.className.c_str(), "USB") == 0 || lstrcmpiA(job.className.c_str(), "Ports") == 0) {
        ok = InstallPnpDriver(job, &reboot);
    } else if (lstrcmpiA(job.className.c_str(), "System") == 0) {
        ok = InstallSystemDriver(job, &reboot);
    } else {
        return kSetupNoProcess;
    }
    if (!ok) return kSetupInstallFailed;
    uint32_t result = kSetupSuccess;
    if (reboot) {
        LogPrintf("  Driver's reboot is required.");
        result = kSetupRestartRequired;
    }
    LogPrintf("  Driver Install OK.");
    return result;
}

// The installed driver file of each entry, from its service's ImagePath.
void GetDriverSysFiles(DriverJob& job) {
    for (size_t i = 0; i < job.entries.size(); ++i) {
        SysFileEntry& e = job.entries[i];
        std::string key = std::string("System\\CurrentControlSet\\Services\\") + e.serviceName;
        char image[MAX_PATH] = "";
        DWORD size = sizeof image - 1, type = 0;
        std::string path;
        if (ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "ImagePath", image, &size, &type)) {
            image[size < sizeof image ? size : sizeof image - 1] = 0;
            std::string text(image);
            if (text.rfind("\\??\\", 0) == 0) text.erase(0, 4);
            std::string lower = Lower(text);
            size_t at = lower.find("systemroot");
            bool absolute = text.size() > 2 && ((text[1] == ':' && text[2] == '\\') || text.rfind("\\\\", 0) == 0);
            if (at != std::string::npos) {
                char root[MAX_PATH] = "";
                GetEnvironmentVariableA("SystemRoot", root, sizeof root);
                path = Join(root, text.substr(at + 10).c_str());
            } else if (absolute) {
                path = text;  // a full path (Wine writes one) is not below the Windows folder
            } else {
                path = Join(WindowsFolder(), text.c_str());
            }
        } else {
            const char* name = std::strrchr(e.sysPath, '\\');
            std::string file = name ? name + 1 : e.sysPath;
            size_t dot = file.find_last_of('.');
            if (dot != std::string::npos) file.resize(dot);
            path = Join(Join(SystemFolder(), "drivers"), (file + ".sys").c_str());
        }
        LogPrintf("  (%d) %s ", static_cast<int>(i), e.serviceName);
        LogPrintf("    Driver Path : %s", path.c_str());
        lstrcpynA(e.sysPath, path.c_str(), 260);
        LogPrintf("    SYS File    : %s", e.sysPath);
    }
}

// Removes every device with the hardware id; false with the log line on a failure.
bool RemoveDevices(DriverJob& job, bool* reboot) {
    for (int i = 0; i < kMaxDeviceRemovals; ++i) {
        DWORD paramsError = ERROR_SUCCESS;
        DWORD error = Drivers().RemoveOneDevice(job.hardwareId.c_str(), reboot, &paramsError);
        if (error == ERROR_NO_MORE_ITEMS) return true;
        LogPrintf("  Delete Driver : %s", job.hardwareId.c_str());
        if (error != ERROR_SUCCESS) {
            LogPrintf("    --> Error1 (0x%08lx)", error);
            return false;
        }
        // The device is gone; only whether Windows wants a restart is unknown.
        if (paramsError != ERROR_SUCCESS) LogPrintf("    --> Error2 (0x%08lx)", paramsError);
        if (*reboot) LogPrintf("    --> Need reboot.");
    }
    return true;
}

// The HID filter goes with the bus driver on Windows 8 and later.
void TakeDownHidFilter(const SysFileEntry& bus) {
    LogPrintf("  Zkhidflt Driver information");
    qz::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\zkhidflt", 0, KEY_ALL_ACCESS,
                      key.put()) == ERROR_SUCCESS) {
        DWORD demand = SERVICE_DEMAND_START;
        if (RegSetValueExA(key.get(), "Start", 0, REG_DWORD, reinterpret_cast<BYTE*>(&demand), sizeof demand) ==
            ERROR_SUCCESS) {
            LogPrintf("    Change \"Start\" = 3");
        } else {
            LogPrintf("    Not change \"Start\" value.");
        }
    }
    std::string folder(bus.sysPath);
    folder = folder.substr(0, folder.find_last_of('\\'));
    DeleteLogged("    Delete File : %s", Join(folder, "Zkhidflt.sys"));
}

bool RemoveDriverPackage(DriverJob& job, bool* reboot) {
    using UninstallFn = DWORD(WINAPI*)(PCSTR, DWORD, void*, BOOL*);
    qz::Module difx;
    UninstallFn uninstall = nullptr;
    if (job.request->PackageFile[0]) {
        difx.reset(LoadLibraryA(job.request->PackageFile));
        if (difx) {
            uninstall = reinterpret_cast<UninstallFn>(
                reinterpret_cast<void*>(GetProcAddress(difx.get(), "DriverPackageUninstallA")));
        }
    }
    std::string infFolder = Join(WindowsFolder(), "inf");
    WIN32_FIND_DATAA data;
    qz::FindHandle find(FindFirstFileA(Join(infFolder, "*.inf").c_str(), &data));
    if (!find) return false;
    do {
        std::string path = Join(infFolder, data.cFileName);
        std::string cls, id;
        if (!ReadInfClassAndHardwareId(path.c_str(), job.request->TargetOS, cls, id) || lstrcmpiA(cls.c_str(), job.className.c_str()) != 0 ||
            lstrcmpiA(id.c_str(), job.hardwareId.c_str()) != 0) {
            continue;
        }
        if (uninstall) {
            BOOL restart = FALSE;
            DWORD code = uninstall(path.c_str(), 0, nullptr, &restart);
            LogPrintf("  DriverStore Delete: %s, (0x%08lx), Reboot : %d", path.c_str(), code, restart);
            if (restart) *reboot = true;
        }
        DeleteLogged("  Delete INF File : %s", path);
        DeleteLogged("  Delete PNF File : %s", path.substr(0, path.size() - 4) + ".pnf");
    } while (FindNextFileA(find.get(), &data));
    for (const SysFileEntry& e : job.entries) DeleteLogged("  Delete SYS File : %s", e.sysPath);
    if (job.osCode >= 12) {
        for (const SysFileEntry& e : job.entries) {
            if (lstrcmpiA(e.serviceName, "ZKUPTP") == 0) TakeDownHidFilter(e);
        }
    }
    return true;
}

uint32_t UninstallDriver(DriverJob& job) {
    const std::string& c = job.className;
    if (lstrcmpiA(c.c_str(), "USB") != 0 && lstrcmpiA(c.c_str(), "System") != 0 && lstrcmpiA(c.c_str(), "Ports") != 0) {
        return kSetupNoProcess;
    }
    GetDriverSysFiles(job);
    bool reboot = false;
    if (!RemoveDevices(job, &reboot)) return kSetupRemoveFailed;
    if (!RemoveDriverPackage(job, &reboot)) LogPrintf("  Driver's File isn't Found.");
    if (reboot) {
        LogPrintf("  Driver's reboot is required.");
        return kSetupRestartRequired;
    }
    return kSetupSuccess;
}

// Steps up to the check of a connected device; true when the run ends there with *result.
bool CheckDriver(DriverJob& job, uint32_t* result) {
    uint32_t mode = job.request->mode & 0xFF;
    LogPrintf("[1] Check Driver Installed");
    job.installed = lstrcmpiA(job.className.c_str(), "NetTrans") == 0 ? IsServiceInstalled(job.hardwareId.c_str()) != 0
                                                                       : Drivers().DeviceExists(job.hardwareId.c_str());
    if (mode == kModeInstalledCheck) {
        *result = job.installed ? kSetupInstalled : kSetupNotInstalled;
        return true;
    }
    if (lstrcmpiA(job.className.c_str(), "NetTrans") != 0) {
        LogPrintf("[2] Get Driver Information");
        ThreePartVersion offered, installed;
        if (!ReadInfDriverVersion(job.request->InfFile, offered)) {
            *result = kSetupRegistryReadFailed;
            return false;
        }
        std::string text;
        if (job.installed && Drivers().InstalledDriverVersion(job.hardwareId.c_str(), text)) {
            installed = ParseThreePartVersion(text.c_str());
        }
        if (mode == kModeVersionCheck) {
            *result = VersionCheckResult(installed, offered);
            return true;
        }
    } else if (mode == kModeVersionCheck) {
        *result = kSetupSameInstalled;
        return true;
    }
    LogPrintf("[3] Check Driver Connection");
    std::string service = job.entries[0].serviceName;
    if (lstrcmpiA(service.c_str(), "ZKSPE") == 0) service = "ZKUPTP";
    service = Lower(service);
    if ((service.find("uptp") != std::string::npos || service.find("vbmgr") != std::string::npos) &&
        Drivers().IsDriverConnected(service.c_str())) {
        *result = kSetupInConnection;
        return true;
    }
    return false;
}

// The run from the INF checks to the install or removal; true when it ended at a check.
bool RunDriverRequest(DriverJob& job, uint32_t* result) {
    LogPrintf("  System Folder  : %s", SystemFolder().c_str());
    LogPrintf("  Windows Folder : %s", WindowsFolder().c_str());
    job.osCode = GetOsVersionCode(&job.osFlags);
    if (job.osCode < 4) {
        *result = kSetupNotTargetOs;
        return true;
    }
    int count = CountSourceDiskFiles(job.request->InfFile);
    if (count == 0) {
        *result = kSetupNotTargetOs;  // no driver files for this system
        return true;
    }
    job.entries.assign(static_cast<size_t>(count), SysFileEntry{});
    if (!ParseDriverInf(job.osCode, job.osFlags, job.request->InfFile, job.request->TargetOS, job.className,
                        job.hardwareId, job.entries.data(), count) ||
        !FileExists(job.request->InfFile)) {
        *result = kSetupFileMissing;
        return false;
    }
    for (const SysFileEntry& e : job.entries) {
        if (!FileExists(e.sysPath)) {
            *result = kSetupFileMissing;
            return false;
        }
    }
    LogPrintf("  InfFile     : %s", job.request->InfFile);
    LogPrintf("  Hardware ID : %s", job.hardwareId.c_str());
    LogPrintf("  Class       : %s", job.className.c_str());
    LogPrintf("  Mode        : %04x", static_cast<unsigned>(job.request->mode));
    LogPrintf("  Size        : %u", static_cast<unsigned>(job.request->size));
    for (size_t i = 0; i < job.entries.size(); ++i) {
        LogPrintf("  %d. Service, SysFile : %s - %s", static_cast<int>(i), job.entries[i].serviceName,
                  job.entries[i].sysPath);
    }
    if (CheckDriver(job, result)) return true;
    if (*result != kSetupSuccess) return false;
    uint32_t mode = job.request->mode & 0xFF;
    if (mode == kModeInstall) {
        LogPrintf("[4] Install Driver");
        *result = InstallDriver(job);
    } else if (mode == kModeUninstall) {
        LogPrintf("[4] Uninstall Driver");
        *result = UninstallDriver(job);
    }
    return false;
}

}  // namespace

int ZkSetupDriver(HWND window, const DriverRequest* request, uint32_t* result) {
    if (!result) return 0;
    LogPrintf("--- ZkSetupDriver() ---");
    *result = kSetupSuccess;
    bool ended;
    if (!request || request->size == 0 || !request->InfFile[0] || !memchr(request->InfFile, 0, sizeof request->InfFile)) {
        *result = kSetupBadArgument;
        ended = false;
    } else {
        DriverJob job{window, request, 0, 0, {}, {}, {}, false};
        try {
            ended = RunDriverRequest(job, result);
        } catch (const std::bad_alloc&) {
            *result = kSetupOutOfMemory;
            ended = false;
        }
    }
    char text[128];
    GetResultText(*result, text, sizeof text);
    LogPrintf("---ZkSetupDriver(%s)---", text);
    return ended ? 1 : 0;
}

int EnumComPorts(char** portNames, char** friendlyNames, int max) {
    int n = 0;
    for (const ComPortInfo& port : Drivers().ListComPorts()) {
        if (n >= max) break;
        auto copy = [](const std::string& s) {
            char* p = static_cast<char*>(LocalAlloc(LPTR, s.size() + 1));
            if (p) std::memcpy(p, s.c_str(), s.size() + 1);
            return p;
        };
        if (portNames) portNames[n] = copy(port.portName);
        if (friendlyNames) friendlyNames[n] = copy(port.friendlyName);
        ++n;
    }
    return n;
}

int IsDriverConnected(const char* name) { return Drivers().IsDriverConnected(name) ? 1 : 0; }

int FileExists(const char* path) {
    if (!path || !*path) return 0;
    WIN32_FIND_DATAA data;
    qz::FindHandle find(FindFirstFileA(path, &data));
    return find ? 1 : 0;
}
