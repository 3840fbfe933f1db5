#include "monitor_install.h"

#include "application_records.h"
#include "ini_text.h"
#include "message_box.h"
#include "monitor_steps.h"
#include "page_order.h"
#include "port_records.h"
#include "registry_value.h"
#include "script_text.h"
#include "setup_log.h"
#include "uninstall_records.h"

#include <cstring>
#include <new>

namespace {

template <typename Fn>
bool ForChecked(SetupContext* c, Fn fn) {
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        ApplicationRecord& r = c->applications[i];
        if (r.checked && r.name[0] && !fn(r)) return false;
    }
    return true;
}

NewPortRequest PortRequest(const SetupContext* c) {
    NewPortRequest request{};
    snprintf(request.hostAddress, sizeof request.hostAddress, "%s", c->hostAddress);
    snprintf(request.hardwareAddress, sizeof request.hardwareAddress, "%s", c->serverAddress);
    request.create = c->hostAddress[0] && c->serverAddress[0];
    if (request.create) HexToBytes(request.hardwareAddress, request.hardwareBytes);
    return request;
}

bool HasMonitor(const ApplicationRecord& r) { return r.monitor && r.monitor->name[0]; }

// The bare file name of a path.
const char* NameOf(const std::string& path) {
    size_t cut = path.find_last_of('\\');
    return path.c_str() + (cut == std::string::npos ? 0 : cut + 1);
}

void DeleteListedFiles(const SetupContext* c, const ApplicationRecord& r, const char* ini, const std::string& section) {
    const char* list = r.uninstallPaths[kListWorkPath];
    for (int n = 0;; ++n) {
        std::string entry = ReadIniValue(ini, section, IniListKey("DELETE_%03d", n));
        if (entry.empty()) return;
        std::string name = FieldOf(entry, 0);
        std::string listSection = FieldOf(entry, 1);
        if (name.empty() || listSection.empty()) continue;
        std::string format = listSection + "_%03d";
        for (int k = 0;; ++k) {
            std::string recorded = ReadIniValue(list, listSection, IniListKey(format.c_str(), k));
            if (recorded.empty()) break;
            if (_stricmp(NameOf(recorded), name.c_str()) == 0) DeleteFileA(recorded.c_str());
        }
    }
    (void)c;
}

}  // namespace

int CheckPortMonitor(HWND page, SetupContext* c) {
    LogPrintf("*** PortMonitor Check ***");
    return ForChecked(c, [&](ApplicationRecord& r) {
        if (!r.monitor) r.monitor = new (std::nothrow) MonitorRecord();
        if (!r.monitor) return false;
        if (PrepareMonitorUpdate(page, r.monitor, r.name, c->copyFileIni)) return true;
        if (!IsSilent(*c)) {
            ShowIniMessageBox(c->frame, c->messageIni, "ERROR", "MESSAGE_10", "TITLE", MB_ICONEXCLAMATION,
                              r.displayName, TRUE);
        }
        LogPrintf("[MessageBox] : MESSAGE_10(%s)", r.displayName);
        return false;
    }) ? 1 : 0;
}

int GetPortMonitorInfo(HWND page, SetupContext* c) {
    LogPrintf("*** Close Vizave Monitor Information ***");
    ForChecked(c, [&](ApplicationRecord& r) {
        StopStatusMonitors(page, r.sections[kSecMonitor], c->copyFileIni);
        return true;
    });
    LogPrintf("*** Get PortMonitor Information ***");
    NewPortRequest request = PortRequest(c);
    return ForChecked(c, [&](ApplicationRecord& r) {
        if (!HasMonitor(r) || !r.monitor->wasInstalled) return true;
        LogPrintf("[%s]", r.name);
        return RemovePortMonitor(page, &request, r.monitor) != 0;
    }) ? 1 : 0;
}

void CloseStatusMonitors(HWND page, SetupContext* c) {
    ForChecked(c, [&](ApplicationRecord& r) {
        StopStatusMonitors(page, r.sections[kSecInfo], c->copyFileIni);
        return true;
    });
}

void DeleteFiles(HWND /*page*/, SetupContext* c) {
    ForChecked(c, [&](ApplicationRecord& r) {
        if (!r.alreadyInstalled) return true;
        for (const char* ini : {c->copyFileIni, c->messageIni}) {
            char own[128];
            snprintf(own, sizeof own, "%s_%s", r.name, r.osWord);
            DeleteListedFiles(c, r, ini, own);
            DeleteListedFiles(c, r, ini, std::string(r.name) + "_COMMON");
        }
        return true;
    });
}

int SetPortMonitorInfo(HWND page, SetupContext* c) {
    if (c->serverAddressGiven) {
        c->printerPage = strcmp(c->serverAddress, "000000000000") != 0 ? 1 : 0;
    }
    LogPrintf("*** Set PortMonitor Information ***");
    NewPortRequest request = PortRequest(c);
    int done = ForChecked(c, [&](ApplicationRecord& r) {
        if (!HasMonitor(r)) return true;
        LogPrintf("[%s]", r.name);
        return InstallPortMonitor(page, &request, r.monitor, r.installFolder) != 0;
    }) ? 1 : 0;
    // The printer list page moves a printer only to a port that now exists, and is not shown
    // without one.
    snprintf(c->createdPortName, sizeof c->createdPortName, "%s", request.create ? request.newPortName : "");
    if (!done || !c->createdPortName[0]) c->printerPage = 0;
    return done;
}

int RemoveOldMonitor(HWND /*page*/, SetupContext* c, ApplicationRecord* r, const char* listName) {
    std::string old = ReadIniValue(c->copyFileIni, r->sections[kSecMonitor], "OLDMONITOR", 259);
    if (_stricmp(old.c_str(), "RWLPRMON") != 0) return 0;
    std::string key = std::string(kUninstallKey) + "\\" +
                      (c->osCode != 0 && c->osCode < 4 ? "RWLPRMON" : "RW-Print2002 Port");
    char command[MAX_PATH] = "";
    DWORD size = sizeof command - 1;
    DWORD type = 0;
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "UninstallString", command, &size, &type) ||
        type != REG_SZ || !command[0]) {
        return 0;
    }
    command[sizeof command - 1] = '\0';
    // The program path may be quoted; its folder holds the old list.
    std::string path = command;
    if (path[0] == '"') path = path.substr(1, path.find('"', 1) - 1);
    size_t cut = path.find_last_of('\\');
    std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut);
    r->alreadyInstalled = 1;
    snprintf(r->uninstallPaths[kListWorkPath], MAX_PATH, "%s", JoinFolder(folder, listName).c_str());
    snprintf(r->oldProductKey, sizeof r->oldProductKey, "%s", key.c_str());
    return 1;
}

void DeleteOldMonitorEntries(HWND /*page*/, SetupContext* c) {
    ForChecked(c, [&](ApplicationRecord& r) {
        if (r.oldProductKey[0]) RegDeleteTreeA(HKEY_LOCAL_MACHINE, r.oldProductKey);
        r.oldProductKey[0] = '\0';
        return true;
    });
}
