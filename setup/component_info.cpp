#include "component_info.h"

#include "application_records.h"
#include "checked_applications.h"
#include "component_dialog.h"
#include "ini_text.h"
#include "monitor_steps.h"
#include "os_info.h"
#include "os_ini_key.h"
#include "registry_entries.h"
#include "script_text.h"
#include "setup_log.h"
#include "setup_result.h"

#include <new>
#include <string>

namespace {

constexpr int kMaxListEntries = 100;
constexpr uint32_t kComponentSetSize = 584;


std::string ComponentIniName(const SetupContext* c, const ApplicationRecord& r) {
    return ReadIniValue(c->copyFileIni, r.sections[kSecComponent], "INIFILE");
}

// The installed path of each service's or program's EXECFILE; false when one has none.
bool FillProgramPaths(SetupContext* c, ApplicationRecord& r, ComponentEntry* entries, uint32_t count,
                      const char* prefix) {
    for (uint32_t i = 0; i < count; ++i) {
        ComponentEntry& e = entries[i];
        e.mode = kModeUninstall;
        std::string section = std::string(prefix) + e.name;
        char suffix[128] = "";
        GetOsIniKey(e.componentIni, c->osCode, c->osFlags, section.c_str(), suffix, sizeof suffix);
        std::string exec = ReadIniValue(e.componentIni, section, std::string("EXECFILE") + suffix, 259);
        char folder[MAX_PATH] = "";
        if (exec.empty() ||
            !GetInstalledFilePath(exec.c_str(), r.name, r.osWord, r.installFolder, c->copyFileIni, folder, kInstalledForm)) {
            if (r.components && r.components->error) lstrcpynA(r.components->error->name, e.name, 64);
            return false;
        }
        lstrcpynA(e.programPath, JoinFolder(folder, exec).c_str(), sizeof e.programPath);
    }
    return true;
}

void SetModes(ComponentEntry* entries, uint32_t count, uint16_t mode) {
    for (uint32_t i = 0; i < count; ++i) entries[i].mode = mode;
}

ComponentSet* NewComponentSet(const SetupContext* c, ApplicationRecord& r) {
    auto* set = new (std::nothrow) ComponentSet();
    auto* error = new (std::nothrow) ComponentError();
    if (!set || !error) {
        delete set;
        delete error;
        return nullptr;
    }
    set->size = kComponentSetSize;
    set->error = error;
    lstrcpynA(set->application, ReadIniValue(c->copyFileIni, r.sections[kSecUninstLog], "REGISTKEY").c_str(),
              sizeof set->application);
    lstrcpynA(set->order, ReadIniValue(c->copyFileIni, r.sections[kSecComponent], "ORDER").c_str(), sizeof set->order);
    return set;
}

// 0 when the application's components failed (failed says which).
int RunApplicationComponents(HWND page, SetupContext* c, ApplicationRecord& r, ComponentError* failed) {
    std::string componentIni = JoinFolder(c->workFolder, ComponentIniName(c, r));
    if (!r.components) r.components = NewComponentSet(c, r);
    ComponentSet* set = r.components;
    if (!set) return 0;
    FreeComponentLists(set);
    ReadComponentLists(page, set, r.sections[kSecComponent], c->copyFileIni, componentIni.c_str());
    if (!FillProgramPaths(c, r, set->services, set->serviceCount, "SERVICE_") ||
        !FillProgramPaths(c, r, set->files, set->fileCount, "FILE_")) {
        *failed = *set->error;
        if (!failed->code) failed->code = 1;
        return 0;
    }
    if (IsSilent(*c)) RunComponents(page, set, kRunDrivers | kRunServices | kRunFiles);
    else ShowComponentDialog(page, set);
    if (set->error->code) {
        *failed = *set->error;
        return 0;
    }
    for (uint32_t i = 0; i < set->driverCount; ++i) {
        if (set->drivers[i].result == kSetupRestartRequired) c->reboot = 1;
    }
    SetModes(set->services, set->serviceCount, kModeInstall);
    SetModes(set->files, set->fileCount, kModeInstall);
    return 1;
}

// Writes value under the number of an equal value (any case), else under the first free key.
void RecordListValue(const char* section, const char* keyFormat, const std::string& value, const char* ini) {
    for (int n = 0; n < kMaxListEntries; ++n) {
        std::string key = IniListKey(keyFormat, n);
        std::string present = ReadIniValue(ini, section, key);
        if (present.empty() || _stricmp(present.c_str(), value.c_str()) == 0) {
            WritePrivateProfileStringA(section, key.c_str(), value.c_str(), ini);
            return;
        }
    }
}

}  // namespace

int InstallComponentInfo(HWND page, SetupContext* c, ComponentError* failed) {
    *failed = {};
    if (c->osCode != 0 && c->osCode < 4) return 1;
    LogPrintf("*** Component Information ***");
    int ok = 1;
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        if (ok && !ComponentIniName(c, r).empty()) ok = RunApplicationComponents(page, c, r, failed);
    });
    return ok;
}

void InstallServiceFileCom(HWND page, SetupContext* c) {
    if (c->osCode != 0 && c->osCode < 5) return;
    LogPrintf("*** Service/File/COM Information ***");
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        if (!r.components) return;
        RunComponents(page, r.components, kRunServices | kRunFiles);
        if (!ComponentIniName(c, r).empty()) WriteComponentUninstallInfo(page, c, &r);
    });
}

void WriteComponentUninstallInfo(HWND /*page*/, SetupContext* c, ApplicationRecord* r) {
    const char* list = r->uninstallPaths[kListWorkPath];
    const char* section = r->listSections[kListComponent];
    std::string name = ComponentIniName(c, *r);
    char folder[MAX_PATH] = "";
    std::string installed =
        GetInstalledFilePath(name.c_str(), r->name, r->osWord, r->installFolder, c->copyFileIni, folder, kInstalledForm)
            ? JoinFolder(folder, name)
            : JoinFolder(r->installFolder, name);
    WritePrivateProfileStringA(section, "INIFILE", installed.c_str(), list);
    std::string order = ReadIniValue(c->copyFileIni, r->sections[kSecComponent], "UNINST_ORDER");
    if (!order.empty()) WritePrivateProfileStringA(section, "UNINST_ORDER", order.c_str(), list);
    static const struct { const char* from; const char* to; } kLists[] = {
        {"UNINST_DRIVER_%02d", "DRIVER_%02d"}, {"UNINST_SERVICE_%02d", "SERVICE_%02d"}, {"UNINST_FILE_%02d", "FILE_%02d"}};
    for (const auto& l : kLists) {
        for (int n = 0; n < kMaxListEntries; ++n) {
            std::string value = ReadIniValue(c->copyFileIni, r->sections[kSecComponent], IniListKey(l.from, n));
            if (value.empty()) break;
            RecordListValue(section, l.to, value, list);
            bool file = l.to[0] == 'F';
            if (file && r->components && static_cast<uint32_t>(n) < r->components->fileCount) {
                std::string fileSection = "FILE_" + FieldOf(value, 0);
                WritePrivateProfileStringA(fileSection.c_str(), "FILEPATH", r->components->files[n].programPath,
                                           installed.c_str());
            }
        }
    }
}

void SpecialFunction(HWND page, SetupContext* c) {
    LogPrintf("*** Special Function ***");
    WriteRegistryEntries(page, c);
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        std::string section = std::string(r.name) + "_INSTALL";
        for (int n = 0; n < kMaxListEntries; ++n) {
            std::string name = ReadIniValue(c->copyFileIni, section, IniListKey("PRESTART_%02d", n));
            if (name.empty()) break;
            char folder[MAX_PATH] = "";
            if (!GetInstalledFilePath(name.c_str(), r.name, r.osWord, r.installFolder, c->copyFileIni, folder,
                                      kInstalledForm)) {
                continue;
            }
            AppendIniListValue("INSTALL", "PRESTART_%02d", JoinFolder(folder, name).c_str(),
                               r.uninstallPaths[kListWorkPath]);
        }
    });
}

void ExecMonitorApplications(HWND page, SetupContext* c) {
    auto lookupFor = [c](ApplicationRecord& r) {
        return [c, &r](const char* file) {
            char folder[MAX_PATH] = "";
            bool found =
                GetInstalledFilePath(file, r.name, r.osWord, r.installFolder, c->copyFileIni, folder, kInstalledForm);
            return found ? std::string(folder) : std::string();
        };
    };
    LogPrintf("*** Exec Application(Monitor) ***");
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        if (!r.monitor || !r.monitor->name[0]) return;
        StartStatusMonitors(page, lookupFor(r), r.sections[kSecMonitor], c->copyFileIni, r.listSections[kListMonitor],
                            r.uninstallPaths[kListWorkPath]);
    });
    LogPrintf("*** Exec Application(Info) ***");
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        StartStatusMonitors(page, lookupFor(r), r.sections[kSecInfo], c->copyFileIni,
                            r.listSections[kListApplication], r.uninstallPaths[kListWorkPath]);
    });
}
