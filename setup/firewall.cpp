#include "firewall.h"

#include "application_records.h"
#include "ini_text.h"
#include "message_box.h"
#include "os_info.h"
#include "resource.h"
#include "script_text.h"
#include "setup_helper_library.h"
#include "setup_log.h"

#include <shellapi.h>

#include <cstdlib>
#include <vector>

namespace {

using AddAppFn = BOOL(WINAPI*)(const char*, const char*);
using AddApp2Fn = BOOL(WINAPI*)(const char*, const char*, const char*);
using AddPortFn = BOOL(WINAPI*)(const char*, int, int);
using NameFn = BOOL(WINAPI*)(const char*);
using RemovePortFn = BOOL(WINAPI*)(int, int);

struct FirewallCalls {
    AddAppFn addApp;
    AddApp2Fn addApp2;
    AddPortFn addPort;
    AddPortFn addPort2;
    NameFn enableService;
    NameFn removeApp;
    RemovePortFn removePort;
    NameFn removePolicy;
};

bool FindCalls(const SetupHelperLibrary& lib, bool newRules, FirewallCalls& f) {
    f.addApp = lib.Find<AddAppFn>("WindowsFirewallAddApp");
    f.addApp2 = lib.Find<AddApp2Fn>("WindowsFirewallAddApp2");
    f.addPort = lib.Find<AddPortFn>("WindowsFirewallAddPort");
    f.addPort2 = lib.Find<AddPortFn>("WindowsFirewallAddPort2");
    f.enableService = lib.Find<NameFn>("WindowsFirewallEnableService");
    f.removeApp = lib.Find<NameFn>("WindowsFirewallRemoveApp");
    f.removePort = lib.Find<RemovePortFn>("WindowsFirewallRemovePort");
    f.removePolicy = lib.Find<NameFn>("WindowsFirewallRemovePolicy");
    bool base = f.addApp && f.addPort && f.enableService && f.removeApp && f.removePort;
    return base && (!newRules || (f.addApp2 && f.addPort2 && f.removePolicy));
}

bool FirewallApplies(const SetupContext* c) {
    if (c->osCode < 6) return false;
    if (c->osCode <= 7) return (c->osFlags & (kOsFlagSecurityLevel | kOsFlag64Bit)) != 0;
    return true;
}

int ProtocolOf(const std::string& text) { return _stricmp(text.c_str(), "UDP") == 0 ? kFirewallUdp : kFirewallOtherProtocol; }

void Report(BOOL ok) {
    if (!ok) LogPrintf("    --> False.");
}

template <typename Fn>
void ForChecked(SetupContext* c, Fn fn) {
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        if (c->applications[i].checked && c->applications[i].name[0]) fn(c->applications[i]);
    }
}

// Every value of a numbered list, from 000 to the first empty key.
std::vector<std::string> List(const char* ini, const std::string& section, const char* format) {
    std::vector<std::string> values;
    for (int n = 0;; ++n) {
        std::string v = ReadIniValue(ini, section, IniListKey(format, n));
        if (v.empty()) return values;
        values.push_back(v);
    }
}

std::string ProgramPath(const SetupContext* c, const ApplicationRecord& r, const std::string& file) {
    char folder[MAX_PATH];
    if (file.empty() ||
        !GetInstalledFilePath(file.c_str(), r.name, r.osWord, r.installFolder, c->copyFileIni, folder, kInstalledForm)) {
        return std::string();
    }
    return JoinFolder(folder, file[0] == '\\' ? file.substr(1) : file);
}

bool HasEntries(const SetupContext* c, const ApplicationRecord& r) {
    bool newRules = c->osCode >= 8;
    for (const char* ini : {c->copyFileIni, c->messageIni}) {
        const char* icf = r.sections[kSecIcf];
        if (!ReadIniValue(ini, icf, "SERVICE_000").empty()) return true;
        if (!ReadIniValue(ini, icf, newRules ? "ADDFILE2_000" : "ADDFILE_000").empty()) return true;
        if (!ReadIniValue(ini, icf, newRules ? "ADDPORT2_000" : "ADDPORT_000").empty()) return true;
    }
    return false;
}

void RecordRule(const ApplicationRecord& r, const char* format, const std::string& value) {
    AppendIniListValue("ICF", format, value.c_str(), r.uninstallPaths[kListWorkPath]);
    LogPrintf("[%s] : %s", "ICF", value.c_str());
}

// Rules of an earlier install (newer Windows): every recorded rule goes before it is added again.
void RemoveEarlierRules(const SetupContext* c, const ApplicationRecord& r, const FirewallCalls& f) {
    const char* list = r.uninstallPaths[kListWorkPath];
    for (const std::string& path : List(list, "ICF", "DELFILE_%03d")) {
        LogPrintf("  DeleteApp : %s", path.c_str());
        Report(f.removeApp(path.c_str()));
    }
    for (const std::string& entry : List(list, "ICF", "DELPORT_%03d")) {
        int port = atoi(FieldOf(entry, 0).c_str());
        int protocol = ProtocolOf(FieldOf(entry, 1));
        LogPrintf("  DeletePort : %x, Protocol : %d", port, protocol);
        Report(f.removePort(protocol, port));
    }
    for (const char* format : {"DELFILE2_%03d", "DELPORT2_%03d"}) {
        for (const std::string& entry : List(list, "ICF", format)) {
            std::string name = FieldOf(entry, 0);
            LogPrintf(format[3] == 'F' ? "  DeleteApp2 : %s" : "  DeletePort2 : %s", name.c_str());
            Report(f.removePolicy(name.c_str()));
        }
    }
    for (const char* ini : {c->copyFileIni, c->messageIni}) {
        for (const std::string& entry : List(ini, r.sections[kSecIcf], "ADDFILE_%03d")) {
            std::string name = FieldOf(entry, 1);
            LogPrintf("  DeleteApp2 : %s", name.c_str());
            Report(f.removePolicy(name.c_str()));
        }
        for (const std::string& entry : List(ini, r.sections[kSecIcf], "ADDPORT_%03d")) {
            std::string name = FieldOf(entry, 2);
            LogPrintf("  DeletePort2 : %s", name.c_str());
            Report(f.removePolicy(name.c_str()));
        }
    }
}

bool IsRecorded(const char* list, const char* format, const std::string& value) {
    for (const std::string& recorded : List(list, "ICF", format)) {
        if (_stricmp(recorded.c_str(), value.c_str()) == 0) return true;
    }
    return false;
}

void RemoveScriptRules(const SetupContext* c, const ApplicationRecord& r, const FirewallCalls& f) {
    const char* list = r.uninstallPaths[kListWorkPath];
    for (const char* ini : {c->copyFileIni, c->messageIni}) {
        const char* icf = r.sections[kSecIcf];
        if (c->osCode >= 8) {
            for (const std::string& entry : List(ini, icf, "DELFILE2_%03d")) Report(f.removePolicy(FieldOf(entry, 1).c_str()));
            for (const std::string& entry : List(ini, icf, "DELPORT2_%03d")) Report(f.removePolicy(FieldOf(entry, 2).c_str()));
            continue;
        }
        for (const std::string& entry : List(ini, icf, "DELFILE_%03d")) {
            std::string path = ProgramPath(c, r, FieldOf(entry, 0));
            if (!path.empty() && IsRecorded(list, "DELFILE_%03d", path)) {
                LogPrintf("  DeleteApp : %s", path.c_str());
                Report(f.removeApp(path.c_str()));
            }
        }
        for (const std::string& entry : List(ini, icf, "DELPORT_%03d")) {
            std::string value = FieldOf(entry, 0) + ";" + FieldOf(entry, 1);
            if (!IsRecorded(list, "DELPORT_%03d", value)) continue;
            int port = atoi(FieldOf(entry, 0).c_str());
            LogPrintf("  DeletePort : %x, Protocol : %d", port, ProtocolOf(FieldOf(entry, 1)));
            Report(f.removePort(ProtocolOf(FieldOf(entry, 1)), port));
        }
    }
}

void AddRules(const SetupContext* c, const ApplicationRecord& r, const FirewallCalls& f) {
    bool newRules = c->osCode >= 8;
    for (const char* ini : {c->copyFileIni, c->messageIni}) {
        const char* icf = r.sections[kSecIcf];
        for (const std::string& entry : List(ini, icf, newRules ? "ADDFILE2_%03d" : "ADDFILE_%03d")) {
            std::vector<std::string> fields = SplitFields(entry);
            fields.resize(3);
            std::string path = ProgramPath(c, r, fields[0]);
            if (path.empty()) continue;
            const std::string& name = fields[1];
            LogPrintf(newRules ? "  AddApp2 : Name = %s, Path = %s" : "  AddApp : Name = %s, Path = %s", name.c_str(),
                      path.c_str());
            const std::string& description = fields[2].empty() ? name : fields[2];
            BOOL ok = newRules ? f.addApp2(name.c_str(), path.c_str(), description.c_str())
                               : f.addApp(name.c_str(), path.c_str());
            Report(ok);
            if (ok) RecordRule(r, newRules ? "DELFILE2_%03d" : "DELFILE_%03d", newRules ? name + ";" + path : path);
        }
        for (const std::string& entry : List(ini, icf, newRules ? "ADDPORT2_%03d" : "ADDPORT_%03d")) {
            std::vector<std::string> fields = SplitFields(entry);
            fields.resize(3);
            int port = atoi(fields[0].c_str());
            int protocol = ProtocolOf(fields[1]);
            const std::string& name = fields[2];
            LogPrintf(newRules ? "  AddPort2 : Name = %s, Port = %x, Protocol : %d" : "  AddPort : Name = %s, Port = %x, Protocol : %d",
                      name.c_str(), port, protocol);
            BOOL ok = (newRules ? f.addPort2 : f.addPort)(name.c_str(), protocol, port);
            Report(ok);
            std::string portText = std::to_string(port) + ";" + fields[1];
            if (ok) RecordRule(r, newRules ? "DELPORT2_%03d" : "DELPORT_%03d", newRules ? name + ";" + portText : portText);
        }
        for (const std::string& service : List(ini, icf, "SERVICE_%03d")) {
            LogPrintf("  EnableService : Name = %s", service.c_str());
            Report(f.enableService(service.c_str()));
        }
    }
}

void SetLabel(HWND page, const char* text) {
    if (page) SetDlgItemTextA(page, IDC_INSTALL_LABEL, text);
}

}  // namespace

void SetFirewall(HWND page, SetupContext* c) {
    if (!FirewallApplies(c)) return;
    LogPrintf("*** Firewall ***");
    bool any = false;
    ForChecked(c, [&](ApplicationRecord& r) { any = any || HasEntries(c, r); });
    if (!any) return;
    SetLabel(page, "");
    bool ask = false;
    ForChecked(c, [&](ApplicationRecord& r) {
        ask = ask || ContainsNoCase(ReadIniValue(c->copyFileIni, r.sections[kSecIcf], "MODE"), "INSTALL");
    });
    if (ask && !IsSilent(*c) &&
        ShowIniMessageBox(c->frame, c->messageIni, "ERROR", "MESSAGE_28", "TITLE", MB_YESNO | MB_ICONQUESTION, {}, TRUE) ==
            IDNO) {
        LogPrintf("[MessageBox] : MESSAGE_28");
        return;
    }
    SetupHelperLibrary library(c->workFolder, c->osCode);
    FirewallCalls f{};
    if (!library.loaded() || !FindCalls(library, c->osCode >= 8, f)) return;
    SetLabel(page, GetIniString(c->messageIni, "LABEL", "INSTALL_04").c_str());
    if (c->osCode >= 8) ForChecked(c, [&](ApplicationRecord& r) { RemoveEarlierRules(c, r, f); });
    ForChecked(c, [&](ApplicationRecord& r) { RemoveScriptRules(c, r, f); });
    ForChecked(c, [&](ApplicationRecord& r) { AddRules(c, r, f); });
}

bool AddDirectFirewallRules(SetupContext* c, const char* ruleName, const char* programPath, const char* description) {
    if (!FirewallApplies(c)) return false;
    SetupHelperLibrary library(c->workFolder, c->osCode);
    FirewallCalls f{};
    if (!library.loaded() || !FindCalls(library, c->osCode >= 8, f)) return false;
    LogPrintf("  DeleteApp : %s", programPath);
    Report(f.removeApp(programPath));
    BOOL ok;
    if (c->osCode >= 8) {
        LogPrintf("  DeleteApp2 : %s", ruleName);
        Report(f.removePolicy(ruleName));
        LogPrintf("  AddApp2 : Name = %s, Path = %s", ruleName, programPath);
        ok = f.addApp2(ruleName, programPath, description ? description : ruleName);
    } else {
        LogPrintf("  AddApp : Name = %s, Path = %s", ruleName, programPath);
        ok = f.addApp(ruleName, programPath);
    }
    Report(ok);
    return ok != FALSE;
}

void RemoveDirectFirewallRules(SetupContext* c, const char* ruleName, const char* programPath) {
    SetupHelperLibrary library(c->workFolder, c->osCode);
    if (!library.loaded()) return;
    if (c->osCode < 8) {
        auto removeApp = library.Find<NameFn>("WindowsFirewallRemoveApp");
        if (!removeApp) return;
        LogPrintf("  DeleteApp : %s", programPath);
        Report(removeApp(programPath));
    } else if (ruleName && *ruleName) {
        auto removePolicy = library.Find<NameFn>("WindowsFirewallRemovePolicy");
        if (!removePolicy) return;
        LogPrintf("  DeleteApp2 : %s", ruleName);
        Report(removePolicy(ruleName));
    }
}
