#include "service_installer.h"

#include "driver_inf.h"
#include "driver_installer.h"
#include "os_info.h"
#include "registry_value.h"
#include "setup_log.h"
#include "setup_result.h"
#include "version_info.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 1000;

// ANSI text in UTF-16, as the narrow service functions convert it; with a byte count the
// zero bytes inside (a multi-string's) are kept.
std::wstring Wide(const char* text, int bytes = -1) {
    if (!text || bytes == 0) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, bytes, out.data(), n);
    if (bytes < 0) out.resize(static_cast<size_t>(n) - 1);
    return out;
}

// A service control manager or service handle, closed with the object.
class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE h) : h_(h) {}
    ~ServiceHandle() {
        if (h_) CloseServiceHandle(h_);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    SC_HANDLE h_;
};

std::string ParametersKey(const char* name) {
    return std::string("System\\CurrentControlSet\\Services\\") + name + "\\Parameters";
}

// Waits while the service is in `pending`, polling once a second, at most the limit.
// False when the wait timed out.
bool WaitWhile(SC_HANDLE service, DWORD pending, SERVICE_STATUS& status) {
    for (DWORD waited = 0; status.dwCurrentState == pending; waited += kPollMs) {
        if (waited >= kServicePendingLimitMs) {
            LogPrintf("  Service wait timed out (state %lu).", status.dwCurrentState);
            return false;
        }
        Sleep(kPollMs);
        if (!QueryServiceStatus(service, &status)) return true;
    }
    return true;
}

// Success and the answers of the checks, as opposed to errors.
bool EndedNormally(uint32_t result) {
    switch (result) {
    case kSetupSuccess: case kSetupNotTargetOs: case kSetupOlderInstalled: case kSetupSameInstalled:
    case kSetupNewerInstalled: case kSetupNotInstalled: case kSetupInstalled:
        return true;
    default:
        return false;
    }
}

void LogFolders() {
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, sizeof path);
    LogPrintf("  System Folder  : %s", path);
    GetWindowsDirectoryA(path, sizeof path);
    LogPrintf("  Windows Folder : %s", path);
}

uint32_t InstallRun(const char* name, const char* programPath, const char* description, const char* tail,
                    const char* dependencies, DWORD dependenciesLength, uint32_t mode) {
    if (GetOsVersionCode(nullptr) < 5) return kSetupNotTargetOs;
    if (!FileExists(programPath)) return kSetupFileMissing;
    LogPrintf("[1] Check Service Information");
    bool installed = IsServiceInstalled(name) != 0;
    LogPrintf(installed ? "  --> Service is Over Write." : "  --> Service is New Write.");
    if ((mode & 0xFF) == kModeInstalledCheck) return installed ? kSetupInstalled : kSetupNotInstalled;
    LogPrintf("[2] Get Service Version Information");
    char installedText[260] = "", offeredText[260] = "", versionText[260] = "";
    if (!GetServiceVersions(name, programPath, installed, installedText, offeredText, versionText,
                            sizeof versionText)) {
        return kSetupRegistryReadFailed;
    }
    uint32_t check = VersionCheckResult(ParseThreePartVersion(installedText), ParseThreePartVersion(offeredText));
    LogPrintf(check == kSetupNewerInstalled   ? "  --> Version is higher than New."
              : check == kSetupOlderInstalled ? "  --> Version is higher than Original."
                                              : "  --> Version is same.");
    if ((mode & 0xFF) == kModeVersionCheck) return check;
    LogPrintf("[3] Uninstall Service");
    if (installed) {
        if (!StopAndDeleteService(name)) return kSetupRemoveFailed;
        LogPrintf("  Service Uninstall.");
    }
    LogPrintf("[4] Install Service");
    if (!CreateAndStartService(name, programPath, description, tail, dependencies, dependenciesLength)) {
        return kSetupInstallFailed;
    }
    LogPrintf("  Service Install.");
    return SetServiceProductVersion(name, versionText) ? kSetupSuccess : kSetupRegistryWriteFailed;
}

}  // namespace

int IsServiceInstalled(const char* name) {
    if (!name || !*name) return 0;
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) return 0;
    DWORD needed = 0, count = 0, resume = 0;
    const DWORD kinds = SERVICE_WIN32 | SERVICE_DRIVER;
    EnumServicesStatusA(manager.get(), kinds, SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume);
    if (needed == 0) return 0;
    std::vector<BYTE> buffer(needed + 1024);
    resume = 0;
    if (!EnumServicesStatusA(manager.get(), kinds, SERVICE_STATE_ALL,
                             reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data()), static_cast<DWORD>(buffer.size()),
                             &needed, &count, &resume)) {
        return 0;
    }
    auto* services = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (services[i].lpServiceName && lstrcmpiA(services[i].lpServiceName, name) == 0) return 1;
    }
    return 0;
}

int GetServiceVersions(const char* name, const char* programPath, BOOL installed, char* installedVersion,
                       char* newVersion, char* versionText, size_t size) {
    if (!name || !programPath || !installedVersion || !newVersion || !versionText || size == 0) return 0;
    char text[260] = "";
    if (!GetFileVersionString(text, programPath, "FileVersion") || !text[0]) lstrcpyA(text, "0.0.0.0");
    lstrcpynA(versionText, text, static_cast<int>(size));
    lstrcpynA(newVersion, text, static_cast<int>(size));
    LogPrintf("File version %s", text);
    installedVersion[0] = 0;
    if (installed) {
        char recorded[260] = "";
        DWORD bytes = sizeof recorded - 1, type = 0;
        if (ReadRegistryValue(HKEY_LOCAL_MACHINE, ParametersKey(name).c_str(), "ProductVersion", recorded, &bytes,
                              &type) &&
            type == REG_SZ) {
            recorded[bytes < sizeof recorded ? bytes : sizeof recorded - 1] = 0;
            lstrcpynA(installedVersion, recorded, static_cast<int>(size));
        }
        LogPrintf("Existing file version %s", installedVersion);
    }
    return 1;
}

int SetServiceProductVersion(const char* name, const char* text) {
    if (!name || !text) return 0;
    return WriteRegistryValue(HKEY_LOCAL_MACHINE, ParametersKey(name).c_str(), "ProductVersion", text,
                              static_cast<DWORD>(std::strlen(text) + 1), REG_SZ);
}

int CreateAndStartService(const char* name, const char* programPath, const char* description,
                          const char* commandLineTail, const char* dependencies, DWORD dependenciesLength) {
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return 0;
    std::string command = std::string("\"") + programPath + "\" /service" + (commandLineTail ? commandLineTail : "");
    constexpr DWORD kMaxDependencyBytes = 0x10000;
    if (dependenciesLength > kMaxDependencyBytes) return 0;
    std::vector<char> depends;
    if (dependencies && dependenciesLength) {
        depends.assign(dependenciesLength + 1, 0);
        std::memcpy(depends.data(), dependencies, dependenciesLength);
    }
    // The wide call with the texts converted as the narrow one would: Wine's CreateServiceA keeps
    // only the first name of a dependency list.
    std::wstring wideName = Wide(name), wideCommand = Wide(command.c_str());
    std::wstring wideDepends = Wide(depends.data(), static_cast<int>(depends.size()));
    ServiceHandle service(CreateServiceW(manager.get(), wideName.c_str(), wideName.c_str(), SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                         wideCommand.c_str(), nullptr, nullptr,
                                         wideDepends.empty() ? nullptr : wideDepends.c_str(), nullptr, nullptr));
    if (!service) return 0;
    if (description) {
        SERVICE_DESCRIPTIONA text{const_cast<char*>(description)};
        ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &text);
    }
    if (StartServiceA(service.get(), 0, nullptr)) {
        SERVICE_STATUS status{};
        if (QueryServiceStatus(service.get(), &status)) WaitWhile(service.get(), SERVICE_START_PENDING, status);
    }
    return 1;
}

int StopAndDeleteService(const char* name) {
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return 0;
    ServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_ALL_ACCESS));
    if (!service) return 0;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) return 0;
    if (status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING) {
        if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return 0;
    }
    if (!WaitWhile(service.get(), SERVICE_STOP_PENDING, status)) return 0;
    Sleep(kPollMs);
    return DeleteService(service.get()) ? 1 : 0;
}

int ZkServiceInstall(const char* name, const char* programPath, const char* description,
                     const char* commandLineTail, const char* dependencies, DWORD dependenciesLength, uint32_t mode,
                     uint32_t* result) {
    if (!result) return 0;
    LogPrintf("---ZkServiceInstall()---");
    LogFolders();
    if (!name || !*name || !programPath || !*programPath) {
        *result = kSetupBadArgument;
    } else {
        *result = InstallRun(name, programPath, description, commandLineTail, dependencies, dependenciesLength, mode);
    }
    LogPrintf("---ZkServiceInstall(%u)---", static_cast<unsigned>(*result));
    return EndedNormally(*result) ? 1 : 0;
}

int ZkServiceUninstall(const char* name, uint32_t* result) {
    if (!result) return 0;
    LogPrintf("---ZkServiceUninstall()---");
    LogFolders();
    if (!name || !*name) {
        *result = kSetupBadArgument;
    } else if (GetOsVersionCode(nullptr) < 5) {
        *result = kSetupNotTargetOs;
    } else {
        LogPrintf("[1] Check Service Information");
        if (!IsServiceInstalled(name)) {
            *result = kSetupNotInstalled;
        } else {
            LogPrintf("[2] Uninstall Service");
            *result = StopAndDeleteService(name) ? kSetupSuccess : kSetupRemoveFailed;
        }
    }
    LogPrintf("---ZkServiceUninstall(%u)---", static_cast<unsigned>(*result));
    return EndedNormally(*result) ? 1 : 0;
}
