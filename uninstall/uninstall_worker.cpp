#include "uninstall_worker.h"

#include "component_runner.h"
#include "driver_platform.h"
#include "firewall_removal.h"
#include "item_removal.h"
#include "message_box.h"
#include "monitor_steps.h"
#include "os_ini_key.h"
#include "registry_removal.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"
#include "stage_two.h"
#include "wizard_pages.h"

#include <win_handles.h>

#include <commctrl.h>
#include <shellapi.h>

#include <new>

namespace {

constexpr DWORD kAfterComponentsMs = 5000;
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kBusDriverInf[] = "ZKUPTP.INF";
constexpr char kBusDriverDevice[] = "zkuptp";

template <typename Fn>
bool ForEnabled(UninstallContext* c, Fn fn) {
    for (uint32_t i = 0; c->entries && i < c->entryCount; ++i) {
        if (c->entries[i].enabled && !fn(c->entries[i])) return false;
    }
    return true;
}

std::string ListValue(const UninstallContext& c, UninstallSection section, const char* key) {
    return ReadIniValue(c.listIni, SectionName(c, section), key, MAX_PATH);
}

// The component INI that the setup installed: a full path, or a name in the install folder.
std::string ComponentIniPath(const UninstallContext& c) {
    std::string ini = ListValue(c, kSecComponent, "INIFILE");
    if (ini.empty()) return ini;
    bool absolute = (ini.size() > 2 && ini[1] == ':') || ini.rfind("\\\\", 0) == 0;
    return absolute ? ini : JoinPath(c.baseFolder, ini);
}

int CheckPortMonitors(UninstallContext* c) {
    LogPrintf("*** PortMonitor Check ***");
    return ForEnabled(c, [&](UninstallSectionEntry& e) {
        if (!e.monitor) e.monitor = new (std::nothrow) MonitorRecord();
        if (!e.monitor) return true;
        if (PrepareMonitorSection(nullptr, e.monitor, e.name, e.sections[kSecMonitor], c->listIni)) return true;
        ShowUninstallError(c->mainWindow, *c, "MESSAGE_04");
        LogPrintf("  Check Monitor Error.");
        return false;
    }) ? 1 : 0;
}

void RunPreStartPrograms(UninstallContext* c) {
    LogPrintf("*** PreStart Check ***");
    ForEnabled(c, [&](UninstallSectionEntry&) {
        for (const std::string& program : ReadIniList(c->listIni, "INSTALL", "PRESTART_%02d", MAX_PATH)) {
            char found[MAX_PATH] = "";
            if (reinterpret_cast<INT_PTR>(FindExecutableA(program.c_str(), nullptr, found)) <= 32) continue;
            std::string folder = program.substr(0, program.find_last_of('\\'));
            LogPrintf("  Application(Execute) : %s", program.c_str());
            SHELLEXECUTEINFOA run{};
            run.cbSize = sizeof run;
            run.fMask = SEE_MASK_NOCLOSEPROCESS;
            run.lpVerb = "open";
            run.lpFile = program.c_str();
            run.lpParameters = LogFlags ? "-dlogout" : nullptr;
            run.lpDirectory = folder.c_str();
            run.nShow = SW_SHOW;
            if (!ShellExecuteExA(&run)) {
                LogPrintf("    --> Application Error: 0x%08lx", GetLastError());
                continue;
            }
            LogPrintf("  Application Waiting...");
            qz::Handle process(run.hProcess);
            if (process) WaitForSingleObject(process.get(), INFINITE);
        }
        return true;
    });
}

// The installed component INI names the bus driver in one of its sections.
bool ListsBusDriver(const std::string& componentIni) {
    std::vector<char> names(32768);
    DWORD n = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), componentIni.c_str());
    for (const char* s = names.data(); s < names.data() + n && *s; s += strlen(s) + 1) {
        if (_stricmp(ReadIniValue(componentIni.c_str(), s, "INFFILE", MAX_PATH).c_str(), kBusDriverInf) == 0) return true;
    }
    return false;
}

void CountProgressItems(HWND page, UninstallContext* c) {
    int items = 0;
    ForEnabled(c, [&](UninstallSectionEntry& e) {
        items += static_cast<int>(ReadIniList(c->listIni, e.sections[kSecFile], "FILE_%03d", MAX_PATH).size());
        items += static_cast<int>(ReadIniList(c->listIni, e.sections[kSecShortcut], "SHORTCUT_%03d", MAX_PATH).size());
        return true;
    });
    if (!page) return;
    HWND bar = GetDlgItem(page, IDC_PROGRESS);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(items)));
}

bool RemovePortMonitorOf(HWND page, UninstallContext* c, UninstallSectionEntry& e) {
    if (!e.monitor || !e.monitor->name[0] || !e.monitor->wasInstalled) return true;
    LogPrintf("[%s]", e.monitor->name);
    NewPortRequest request{};
    if (RemovePortMonitor(page, &request, e.monitor)) return true;
    ShowUninstallError(c->mainWindow, *c, "MESSAGE_02");
    LogPrintf("  Get Monitor Error.");
    return false;
}

int GetPortMonitorInfo(HWND page, UninstallContext* c) {
    LogPrintf("*** Get PortMonitor Information ***");
    ForEnabled(c, [&](UninstallSectionEntry& e) {
        StopStatusMonitors(page, e.sections[kSecMonitor], c->listIni);
        return true;
    });
    if (!ForEnabled(c, [&](UninstallSectionEntry& e) { return RemovePortMonitorOf(page, c, e); })) return 0;
    ForEnabled(c, [&](UninstallSectionEntry& e) {
        DeleteStatusMonitorRunEntries(*c, e.sections[kSecMonitor]);
        return true;
    });
    return 1;
}

// Program entries take their path from FILEPATH (in its OS-specific form) of the installed
// component INI; false when one has none.
bool FillProgramPaths(const UninstallContext& c, ComponentSet* set, const std::string& componentIni) {
    for (uint32_t i = 0; i < set->fileCount; ++i) {
        ComponentEntry& f = set->files[i];
        f.mode = kModeUninstall;
        std::string section = std::string("FILE_") + f.name;
        char suffix[64] = "";
        GetOsIniKey(componentIni.c_str(), c.osCode, c.osFlags, section.c_str(), suffix, sizeof suffix);
        std::string path = ReadIniValue(componentIni.c_str(), section, std::string("FILEPATH") + suffix, MAX_PATH);
        if (path.empty()) return false;
        snprintf(f.programPath, sizeof f.programPath, "%s", path.c_str());
    }
    return true;
}

void ReportComponentError(const UninstallContext& c, const ComponentError& error) {
    if (error.code == kSetupInConnection) {
        ShowUninstallError(c.mainWindow, c, "MESSAGE_11");
    } else {
        LogPrintf("[MessageBox] : MESSAGE_10(%s)", error.name);
        if (!IsSilent(c)) {
            ShowIniMessageBox(c.mainWindow, c.uninstallerIni, "ERROR", "MESSAGE_10", "TITLE", MB_OK | MB_ICONEXCLAMATION,
                              error.name, TRUE);
        }
    }
    LogPrintf("  Component Error(2).");
}

bool RemoveComponentsOf(HWND page, UninstallContext* c, UninstallSectionEntry& e) {
    std::string componentIni = ComponentIniPath(*c);
    if (componentIni.empty()) return true;
    if (!e.components) e.components = new (std::nothrow) ComponentSet();
    auto* error = new (std::nothrow) ComponentError();
    if (!e.components || !error) {
        delete error;
        return false;
    }
    ComponentSet* set = e.components;
    set->size = sizeof(ComponentSet);
    set->error = error;
    snprintf(set->application, sizeof set->application, "%s", ListValue(*c, kSecUninstall, "REGISTKEY").c_str());
    snprintf(set->order, sizeof set->order, "%s", ListValue(*c, kSecComponent, "UNINST_ORDER").c_str());
    bool read = ReadComponentLists(page, set, e.sections[kSecComponent], c->listIni, componentIni.c_str()) != 0;
    if (!read || !FillProgramPaths(*c, set, componentIni)) {
        error->code = kSetupBadArgument;  // names the entry without a program path: none
        ReportComponentError(*c, *error);
        return false;
    }
    RunComponents(page, set, kRunDrivers | kRunServices | kRunFiles);
    if (error->code != 0) {
        ReportComponentError(*c, *error);
        return false;
    }
    Sleep(kAfterComponentsMs);
    for (uint32_t i = 0; i < set->driverCount; ++i) {
        if (set->drivers[i].result == kSetupRestartRequired) c->reboot = 1;
    }
    return true;
}

}  // namespace

void DeleteStatusMonitorRunEntries(const UninstallContext& c, const char* section) {
    for (const std::string& entry : ReadIniList(c.listIni, section, "MONITOR_%02d", MAX_PATH)) {
        std::string value = FieldOf(entry, 3);
        if (value.empty()) continue;
        qz::RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
            RegDeleteValueA(key.get(), value.c_str());
        }
        LogPrintf("  Status Monitor(Run) : %s", value.c_str());
    }
}

int CheckBusDriverInUse(HWND /*page*/, UninstallContext* c) {
    if (c->osCode <= 4) return 1;
    bool inUse = false;
    ForEnabled(c, [&](UninstallSectionEntry&) {
        std::string componentIni = ComponentIniPath(*c);
        if (!componentIni.empty() && ListsBusDriver(componentIni)) inUse = Drivers().IsDriverConnected(kBusDriverDevice);
        return !inUse;
    });
    if (!inUse) return 1;
    ShowUninstallError(c->mainWindow, *c, "MESSAGE_11");
    LogPrintf("  Component Error(1).");
    return 0;
}

int RunPreChecks(HWND page, UninstallContext* c) {
    if (!CheckPortMonitors(c)) return 0;
    RunPreStartPrograms(c);
    return CheckBusDriverInUse(page, c);
}

int RemoveComponentsStep(HWND page, UninstallContext* c) {
    if (!GetPortMonitorInfo(page, c)) return 0;
    if (c->osCode >= 4) {
        LogPrintf("*** Component Information ***");
        if (!ForEnabled(c, [&](UninstallSectionEntry& e) { return RemoveComponentsOf(page, c, e); })) return 0;
    }
    ForEnabled(c, [&](UninstallSectionEntry& e) {
        StopStatusMonitors(page, e.sections[kSecApplication], c->listIni);
        DeleteStatusMonitorRunEntries(*c, e.sections[kSecApplication]);
        return true;
    });
    std::string label = GetIniString(c->uninstallerIni, "LABEL", "UNINSTALL_02");
    if (page && !label.empty()) SetDlgItemTextA(page, IDC_STEP_LABEL, label.c_str());
    if (!DeleteRegistryEntries(page, c)) {
        LogPrintf("  Special File Error.");
        return 0;
    }
    return 1;
}

int RunUninstall(HWND page, UninstallContext* c) {
    if (!RunPreChecks(page, c)) {
        RecordFailure(&c->failure, kExitCheckFailed);
        return 0;
    }
    // The second stage's copies are made before anything goes: when they cannot be made, the
    // suite, its Uninstall entry and its INIs stay for another try.
    if (!c->stageTwoFolder[0] && !PrepareStageTwo(c)) {
        ShowLastErrorBox(page, *c, GetLastError(), ReadIniValue(c->uninstallerIni, "ERROR", "TITLE", 259).c_str(),
                         MB_ICONEXCLAMATION);
        RecordFailure(&c->failure, kExitStageTwoFailed);
        return 0;
    }
    CountProgressItems(page, c);
    if (!RemoveComponentsStep(page, c)) return 0;
    RemoveFirewallEntries(page, c);
    return DeleteInstalledItems(page, c);
}

void FreeUninstallRecords(UninstallContext* c) {
    for (uint32_t i = 0; c->entries && i < c->entryCount; ++i) {
        UninstallSectionEntry& e = c->entries[i];
        if (e.monitor) FreeMonitorList(e.monitor);
        delete e.monitor;
        e.monitor = nullptr;
        if (e.components) {
            FreeComponentLists(e.components);
            delete e.components->error;
        }
        delete e.components;
        e.components = nullptr;
    }
}

namespace {

DWORD WINAPI UninstallThread(void* parameter) {
    auto* start = static_cast<UninstallThreadStart*>(parameter);
    int done = RunUninstall(start->page, start->context);
    PostMessageA(start->page, done ? WM_INSTALL_DONE : WM_INSTALL_FAILED, 0, 0);
    ExitThread(0);
}

}  // namespace

HANDLE StartUninstallThread(HWND page, UninstallContext* c, UninstallThreadStart* start) {
    start->page = page;
    start->context = c;
    return StartPageWorker(UninstallThread, start);
}
