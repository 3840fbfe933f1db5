#include "install_worker.h"

#include "application_records.h"
#include "checked_applications.h"
#include "component_info.h"
#include "driver_installer.h"
#include "file_copy.h"
#include "firewall.h"
#include "ini_text.h"
#include "message_box.h"
#include "monitor_install.h"
#include "registry_entries.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"
#include "setup_result.h"
#include "uninstall_records.h"
#include "wizard_pages.h"

#include <shellapi.h>

#include <cstdio>

namespace {

// A commit size only: the reservation stays the program's default, which the system's driver
// installation and message boxes need.
constexpr DWORD kDonePauseMs = 500;
constexpr int kMaxListEntries = 100;
constexpr char kBusDriverInf[] = "ZKUPTP.INF";
constexpr char kBusDriverName[] = "zkuptp";


uint32_t Fail(uint32_t code, const char* line) {
    LogPrintf("%s", line);
    return code;
}

void PreStartCheck(SetupContext* c) {
    LogPrintf("*** PreStart Check ***");
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        std::string section = std::string(r.name) + "_INSTALL";
        for (int n = 0; n < kMaxListEntries; ++n) {
            std::string name = ReadIniValue(c->copyFileIni, section, IniListKey("PRESTART_%02d", n));
            if (name.empty()) break;
            char folder[MAX_PATH] = "";
            if (!GetInstalledFilePath(name.c_str(), r.name, r.osWord, nullptr, c->copyFileIni, folder, kSourceForm)) {
                continue;
            }
            std::string program = JoinFolder(folder, name);
            char found[MAX_PATH] = "";
            if (reinterpret_cast<INT_PTR>(FindExecutableA(program.c_str(), nullptr, found)) <= 32) continue;
            SHELLEXECUTEINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = SEE_MASK_NOCLOSEPROCESS;
            info.lpVerb = "open";
            info.lpFile = program.c_str();
            info.lpParameters = LogFlags ? "-dlogout" : nullptr;
            info.lpDirectory = folder;
            info.nShow = SW_SHOW;
            LogPrintf("  Application(Execute) : %s", program.c_str());
            if (!ShellExecuteExA(&info)) {
                LogPrintf("    --> Application Error: 0x%08lx", GetLastError());
                continue;
            }
            LogPrintf("  Application Waiting...");
            if (info.hProcess) {
                WaitForSingleObject(info.hProcess, INFINITE);
                CloseHandle(info.hProcess);
            }
        }
    });
}

// The first section of the component INI whose INFFILE is the bus driver's.
bool ListsBusDriver(const std::string& componentIni) {
    std::string names(32768, '\0');
    DWORD n = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), componentIni.c_str());
    for (const char* s = names.c_str(); s < names.c_str() + n && *s; s += strlen(s) + 1) {
        std::string inf = ReadIniValue(componentIni.c_str(), s, "INFFILE");
        if (_stricmp(inf.c_str(), kBusDriverInf) == 0) return true;
    }
    return false;
}

uint32_t PreInstallCheck(HWND page, SetupContext* c) {
    if (!CheckPortMonitor(page, c)) return Fail(kStepMonitorCheck, "  Check Monitor Error.");
    PreStartCheck(c);
    if (CheckComponentDriver(page, c)) return Fail(kStepComponent, "  Explorer Cancel.");
    return 0;
}

uint32_t PrepareInstall(HWND page, SetupContext* c) {
    if (!GetPortMonitorInfo(page, c)) {
        InstallMessage(c, "MESSAGE_02", nullptr);
        return Fail(kStepMonitorGet, "  Get Monitor Error.");
    }
    ComponentError failed{};
    if (!InstallComponentInfo(page, c, &failed)) {
        if (failed.code == kSetupInConnection) InstallMessage(c, "MESSAGE_16", nullptr);
        else InstallMessage(c, "MESSAGE_11", failed.name);
        return Fail(kStepComponent, "  Component Error.");
    }
    CloseStatusMonitors(page, c);
    DeleteFiles(page, c);
    return 0;
}

uint32_t CopyStep(HWND page, SetupContext* c) {
    if (!CopyFiles(page, c)) {
        InstallMessage(c, "MESSAGE_14", nullptr);
        return Fail(kStepCopy, "  Copy File Error.");
    }
    if (!CopyFilesEx(page, c)) return Fail(kStepVersionedCopy, "  Check File Error.");
    if (page) {
        std::string label = GetIniString(c->messageIni, "LABEL", "INSTALL_05", {}, 259);
        SetDlgItemTextA(page, IDC_INSTALL_LABEL, label.c_str());
    }
    if (!OnlyCopyFiles(page, c)) {
        InstallMessage(c, "MESSAGE_14", nullptr);
        return Fail(kStepCopy, "  Only File Error.");
    }
    return 0;
}

uint32_t SetupStep(HWND page, SetupContext* c) {
    InstallServiceFileCom(page, c);
    if (!SetPortMonitorInfo(page, c)) {
        InstallMessage(c, "MESSAGE_02", nullptr);
        return Fail(kStepMonitorSet, "  Set Monitor Error.");
    }
    SpecialFunction(page, c);
    ExecMonitorApplications(page, c);
    return 0;
}

DWORD WINAPI InstallThread(LPVOID parameter) {
    auto* start = static_cast<InstallStart*>(parameter);
    uint32_t failed = RunInstallSteps(start->page, start->context);
    if (failed) {
        PostMessageA(start->page, kInstallFailed, failed, 0);
        return 0;
    }
    Sleep(kDonePauseMs);
    PostMessageA(start->page, kInstallDone, 0, 0);
    return 0;
}

}  // namespace

void InstallMessage(const SetupContext* c, const char* key, const char* argument) {
    if (!IsSilent(*c)) {
        ShowIniMessageBox(g_mainWindow, c->messageIni, "ERROR", key, "TITLE", MB_OK | MB_ICONEXCLAMATION, argument,
                          TRUE);
    }
    if (argument) LogPrintf("[MessageBox] : %s(%s)", key, argument);
    else LogPrintf("[MessageBox] : %s", key);
}

int CheckComponentDriver(HWND /*page*/, SetupContext* c) {
    if (c->osCode != 0 && c->osCode < 5) return 0;
    LogPrintf("*** Component Check (Driver) ***");
    bool listed = false;
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        std::string ini = ReadIniValue(c->copyFileIni, r.sections[kSecComponent], "INIFILE");
        if (!listed && !ini.empty()) listed = ListsBusDriver(JoinFolder(c->workFolder, ini));
    });
    if (!listed || !IsDriverConnected(kBusDriverName)) return 0;
    if (!IsSilent(*c)) {
        ShowIniMessageBox(g_mainWindow, c->messageIni, "ERROR", "MESSAGE_16", "TITLE", MB_OK | MB_ICONEXCLAMATION, {},
                          TRUE);
    }
    LogPrintf("  Connect. ([MessageBox] : MESSAGE_16)");
    return 1;
}

uint32_t RunInstallSteps(HWND page, SetupContext* c) {
    if (uint32_t failed = PreInstallCheck(page, c)) return failed;
    CreateUninstallInfo(page, c);
    CountFiles(page, c);
    if (uint32_t failed = PrepareInstall(page, c)) return failed;
    if (uint32_t failed = CopyStep(page, c)) return failed;
    SetFirewall(page, c);
    if (uint32_t failed = SetupStep(page, c)) return failed;
    SetControlPanel(page, c);
    SetRegistryKey(page, c);
    if (!FinishLogFiles(page, c)) {
        InstallMessage(c, "MESSAGE_14", nullptr);
        return Fail(kStepLogFiles, "  Log File Error.");
    }
    return 0;
}

HANDLE StartInstallThread(HWND page, SetupContext* context, InstallStart* start) {
    start->page = page;
    start->context = context;
    return StartPageWorker(InstallThread, start);
}
