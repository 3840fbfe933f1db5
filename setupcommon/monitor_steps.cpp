#include "monitor_steps.h"

#include "app_windows.h"
#include "ini_text.h"
#include "os_info.h"
#include "path_helpers.h"
#include "registry_value.h"
#include "setup_log.h"
#include "spooler_platform.h"

#include <win_handles.h>

#include <shellapi.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kStopStepMs = 100;
constexpr DWORD kMinimumStopSteps = 30;
constexpr int kMaxListEntries = 100;

std::string IniValue(const char* ini, const char* section, const char* key, DWORD chars = 260) {
    std::vector<char> value(chars + 1);
    GetPrivateProfileStringA(section, key, "", value.data(), chars + 1, ini);
    return value.data();
}

// Field `index` of a ";" list value, from a fresh copy.
std::string Field(const std::string& value, int index) {
    std::vector<char> copy(value.begin(), value.end());
    copy.push_back(0);
    const char* f = GetToken(copy.data(), ";", 6, index);
    return f ? f : "";
}

const char* Environment(int osCode, uint32_t flags) {
    if (osCode < 4) return "Windows 4.0";
    return (flags & kOsFlag64Bit) ? "Windows x64" : "Windows NT x86";
}

bool MutexHeld(const std::string& name) { return CheckNamedMutex(name.c_str(), TRUE, FALSE) == 1; }

}  // namespace

int IsMonitorInstalled(const char* name) { return name && Spooler().MonitorExists(name) ? 1 : 0; }

int MonitorPortExists(const char* monitor, const char* port) {
    qz::RegKey key;
    std::string path = MonitorKeyPath(monitor) + "\\Ports\\" + (port ? port : "");
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS ? 1 : 0;
}

int IsMonitorIdle(int /*osCode*/, const MonitorRecord* monitor) {
    for (const PrinterOnPort& p : Spooler().ListPrinters()) {
        if (MonitorPortExists(monitor->name, p.port.c_str()) && Spooler().HasQueuedJob(p.printer.c_str())) return 0;
    }
    return 1;
}

int PrepareMonitorUpdate(HWND window, MonitorRecord* monitor, const char* application, const char* copyFileIni) {
    if (!monitor || !application || !copyFileIni) return 1;
    std::string section = std::string(application) + "_MONITOR";
    return PrepareMonitorSection(window, monitor, application, section.c_str(), copyFileIni);
}

int PrepareMonitorSection(HWND /*window*/, MonitorRecord* monitor, const char* application, const char* section,
                          const char* copyFileIni) {
    if (!monitor || !application || !section || !copyFileIni) return 1;
    uint32_t flags = 0;
    int code = GetOsVersionCode(&flags);
    std::string name = IniValue(copyFileIni, section, code < 4 ? "OS_WIN9x" : "OS_WINNT", 128);
    if (name.empty()) return 1;
    lstrcpynA(monitor->name, name.c_str(), sizeof monitor->name);
    lstrcpynA(monitor->keyPath, MonitorKeyPath(monitor->name).c_str(), sizeof monitor->keyPath);
    lstrcpynA(monitor->environment, Environment(code, flags), sizeof monitor->environment);
    lstrcpynA(monitor->dllName, IniValue(copyFileIni, section, "DLLNAME", 64).c_str(), sizeof monitor->dllName);
    LogPrintf("[%s]", application);
    LogPrintf("  Monitor Name : %s", monitor->name);
    monitor->wasInstalled = IsMonitorInstalled(monitor->name);
    if (!monitor->wasInstalled) {
        LogPrintf("    ---> Not PortMonitor");
        return 1;
    }
    if (!IsMonitorIdle(code, monitor)) {
        LogPrintf("    ---> Now Printings...");
        monitor->busy = 1;
        return 0;
    }
    std::string add = std::string("Add ") + monitor->name;
    std::string configure = std::string("Configure ") + monitor->name;
    if (MutexHeld(add)) {
        LogPrintf("    ---> Now Port Wizerd Open [%s] ...", add.c_str());
        monitor->busy = 1;
        return 0;
    }
    if (MutexHeld(configure)) {
        LogPrintf("    ---> Now Port Dialog Open [%s] ...", configure.c_str());
        monitor->busy = 1;
        return 0;
    }
    return 1;
}

int DeletePortMonitor(HWND /*window*/, NewPortRequest* context, MonitorRecord* monitor) {
    monitor->savedPrinters.clear();
    monitor->savedPrinterPorts.clear();
    for (const PrinterOnPort& p : Spooler().ListPrinters()) {
        monitor->savedPrinters.push_back(p.printer);
        monitor->savedPrinterPorts.push_back(p.port);
    }
    if (!DeleteMonitorPorts(context, monitor)) return 0;
    LogPrintf("  Environment : %s", monitor->environment);
    LogPrintf("  szDllFile   : %s", monitor->dllName);
    if (!monitor->dllName[0]) return 0;
    int result = 1;
    if (!Spooler().RemoveMonitor(monitor->environment, monitor->name)) {
        LogPrintf("  DeleteMonitor(%s) NG", monitor->name);
        result = 0;
    }
    LogPrintf("  DeleteMonitor(%s)", monitor->name);
    return result;
}

int RemovePortMonitor(HWND window, NewPortRequest* context, MonitorRecord* monitor) {
    if (!monitor) return 0;
    GetPortName(window, monitor);
    return DeletePortMonitor(window, context, monitor);
}

int AddPortMonitor(HWND /*window*/, NewPortRequest* /*context*/, MonitorRecord* monitor) {
    LogPrintf("  szEnvironment : %s", monitor->environment);
    LogPrintf("  szDllFile : %s", monitor->dllName);
    LogPrintf("  Add Monitor: %s", monitor->name);
    unsigned long error = Spooler().InstallMonitor(monitor->name, monitor->environment, monitor->dllName);
    if (error != ERROR_SUCCESS) {
        LogPrintf("  --> NG: 0x%08lx", error);
        return 0;
    }
    // Every printer goes back on the port it had.
    for (size_t i = 0; i < monitor->savedPrinters.size(); ++i) {
        Spooler().MovePrinter(monitor->savedPrinters[i].c_str(), monitor->savedPrinterPorts[i].c_str());
        LogPrintf("  SetPrinter(%s, %s)", monitor->savedPrinters[i].c_str(), monitor->savedPrinterPorts[i].c_str());
    }
    return 1;
}

int InstallPortMonitor(HWND window, NewPortRequest* context, MonitorRecord* monitor, const char* installPath) {
    // The key is written here and deleted again on a failure: never anything but one monitor's.
    if (!monitor || !IsMonitorKeyPath(monitor->keyPath)) return 0;
    CreateMonitorPorts(window, context, monitor);
    const char* path = installPath ? installPath : "";
    WriteRegistryValue(HKEY_LOCAL_MACHINE, monitor->keyPath, "InstallPath", path,
                       static_cast<DWORD>(std::strlen(path) + 1), REG_SZ);
    LogPrintf("  (Reg)InstallPath : %s", path);
    int result = AddPortMonitor(window, context, monitor);
    if (result) {
        monitor->installedNow = 1;
    } else {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, monitor->keyPath);
    }
    return result;
}

void FreeMonitorList(MonitorRecord* monitor) {
    if (!monitor) return;
    monitor->savedPrinters.clear();
    monitor->savedPrinterPorts.clear();
    monitor->portNames.clear();
    monitor->lpr.clear();
    monitor->ipp.clear();
    monitor->raw.clear();
}

void StopStatusMonitors(HWND /*window*/, const char* section, const char* iniPath) {
    for (int i = 0; i < kMaxListEntries; ++i) {
        std::string value = IniValue(iniPath, section, IniListKey("MONITOR_%02d", i).c_str());
        if (value.empty()) break;
        std::string cls = Field(value, 1);
        std::string offset = Field(value, 2);
        if (cls.empty() || offset.empty()) continue;
        LogPrintf("  Status Monitor : %s, %s", cls.c_str(), offset.c_str());
        if (!MutexHeld(cls)) continue;
        HWND found = FindWindowA(cls.c_str(), nullptr);
        DWORD waitMs = kStatusMonitorWaitMs;
        if (found) {
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutA(found, WM_USER + static_cast<UINT>(std::atoi(offset.c_str())), 0, 0,
                                    SMTO_BLOCK | SMTO_ABORTIFHUNG, kStatusMonitorAnswerMs, &answer)) {
                LogPrintf("  --> SendMessage(OK)");
            } else {
                // One that does not take its message will not close either: only the least wait.
                LogPrintf("  --> SendMessage(NG)");
                waitMs = kMinimumStopSteps * kStopStepMs;
            }
        }
        // At least 3 s, and until the window is gone, but never without end.
        for (DWORD step = 0; step * kStopStepMs < waitMs; ++step) {
            if (step >= kMinimumStopSteps && !FindWindowA(cls.c_str(), nullptr)) break;
            Sleep(kStopStepMs);
        }
    }
}

void StartStatusMonitors(HWND /*window*/, const InstalledFolderLookup& installedFolder, const char* section,
                         const char* copyFileIni, const char* uninstallSection, const char* uninstallIni) {
    for (int i = 0; i < kMaxListEntries; ++i) {
        std::string value = IniValue(copyFileIni, section, IniListKey("MONITOR_%02d", i).c_str());
        if (value.empty()) break;
        std::string file = Field(value, 0), runName = Field(value, 3);
        if (file.empty() || Field(value, 1).empty() || runName.empty()) continue;
        std::string folder = installedFolder ? installedFolder(file.c_str()) : "";
        std::string joined;
        // A file name that leaves its folder, or a path too long to hold, names nothing installed.
        if (folder.empty() || !JoinBelowFolder(folder, file, joined)) continue;
        const char* program = joined.c_str();
        std::string runArgs = Field(value, 4), startArgs = Field(value, 5);
        std::string command = std::string("\"") + program + "\"" + (runArgs.empty() ? "" : " " + runArgs);
        WriteRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", runName.c_str(),
                           command.c_str(), static_cast<DWORD>(command.size() + 1), REG_SZ);
        if (uninstallSection && uninstallIni) {
            AppendIniListValue(uninstallSection, "MONITOR_%02d", value.c_str(), uninstallIni);
        }
        char found[MAX_PATH] = "";
        if (reinterpret_cast<INT_PTR>(FindExecutableA(program, nullptr, found)) <= 32) {
            continue;  // nothing to start this one with; the others still start
        }
        LogPrintf("  Application : %s %s", program, startArgs.c_str());
        SHELLEXECUTEINFOA run{};
        run.cbSize = sizeof run;
        run.fMask = SEE_MASK_NOCLOSEPROCESS;
        run.lpVerb = "open";
        run.lpFile = program;
        run.lpParameters = startArgs.empty() ? nullptr : startArgs.c_str();
        run.lpDirectory = folder.c_str();
        run.nShow = SW_SHOWNA;
        if (!ShellExecuteExA(&run)) {
            LogPrintf("  --> Error: 0x%08lx", GetLastError());
            continue;
        }
        if (run.hProcess) {
            qz::Handle process(run.hProcess);
            WaitForInputIdle(process.get(), kStatusMonitorWaitMs);
        }
    }
}

int IsOldMonitorProduct(const char* name) {
    qz::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, MonitorKeyPath(name).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return 1;
    }
    char product[64] = "";
    DWORD size = sizeof product - 1, type = 0;
    if (RegQueryValueExA(key.get(), "Product", nullptr, &type, reinterpret_cast<BYTE*>(product), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return 0;
    }
    product[size < sizeof product ? size : sizeof product - 1] = 0;
    return lstrcmpiA(product, "RW-Print2002") == 0 ? 1 : 0;
}

int CheckOldPrintMonitor(char* messageKey, size_t keySize, char* name, size_t nameSize, const char* copyFileIni) {
    for (int i = 0; i < kMaxListEntries; ++i) {
        std::string application = IniValue(copyFileIni, "APPLIINFO", IniListKey("APP_%02d", i).c_str());
        if (application.empty()) break;
        std::string old = IniValue(copyFileIni, (application + "_MONITOR").c_str(), "OLDMONITOR");
        if (lstrcmpiA(old.c_str(), "RWLPRMON") == 0 && !IsOldMonitorProduct("RWLPRMON")) {
            if (messageKey) lstrcpynA(messageKey, "MESSAGE_08", static_cast<int>(keySize));
            if (name) lstrcpynA(name, "RW-Print", static_cast<int>(nameSize));
            return 2;
        }
    }
    return 0;
}
