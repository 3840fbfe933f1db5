#include "run_after.h"

#include "application_records.h"
#include "ini_text.h"
#include "path_helpers.h"
#include "registry_value.h"
#include "script_text.h"
#include "setup_log.h"
#include "window_position.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr INT_PTR kFoundExecutable = 32;
constexpr int kMaxExecKeys = 100;

// Counters of the deferred-start file, for the life of the process.
int g_deferredNoWait = 0;
int g_deferredWait = 0;

void Copy(char* out, const std::string& text) { snprintf(out, MAX_PATH, "%s", text.c_str()); }

bool HasExecutable(const char* program) {
    char found[MAX_PATH] = "";
    return reinterpret_cast<INT_PTR>(FindExecutableA(program, nullptr, found)) > kFoundExecutable;
}

// The file's full path through the record's file lists; false when it is not installed.
bool ResolveFile(const SetupContext& c, const ApplicationRecord& r, const std::string& name, std::string& path,
                 std::string& folder) {
    char found[MAX_PATH] = "";
    if (name.empty() || !GetInstalledFilePath(name.c_str(), r.name, r.osWord, r.installFolder, c.copyFileIni, found,
                                              kInstalledForm)) {
        return false;
    }
    folder = found;
    path = JoinFolder(folder, name);
    return true;
}

bool RunMark(int pageIndex, bool anyMonitor, bool anyComponents, const ApplicationRecord& r) {
    bool own = r.components != nullptr;
    if (!anyMonitor) return !anyComponents || own;
    return pageIndex == kProgramsForFinish ? r.monitor != nullptr : own;
}

bool DeferredToUacList(const SetupContext& c, const ProgramEntry& e) {
    ApplicationRecord* r = FindApplicationRecord(const_cast<SetupContext*>(&c), e.application);
    std::string list = r ? ReadIniValue(c.copyFileIni, r->sections[kSecInfo], "UAC") : "";
    if (list.empty()) return false;
    for (const std::string& key : SplitFields(list, ',')) {
        if (_stricmp(key.c_str(), e.key) == 0) return false;
    }
    return true;
}

}  // namespace

std::string SetupFolderOnWindowsDrive(const SetupContext& c) {
    std::string title = ReadIniValue(c.languageIni, "TITLE", "TITLE", MAX_PATH - 1);
    if (title.empty()) title = "Setup Folder";
    char windows[MAX_PATH] = "C:";
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows, 2) + "\\" + title;
}

std::string RunOnceText(const char* program, const char* parameters) {
    std::string text = std::string("\"") + program + "\"";
    if (parameters && *parameters) text += std::string(" ") + parameters;
    return text;
}

int ExecApplications(HWND, SetupContext* c, int pageIndex, ProgramEntry* list, int* count) {
    *count = 0;
    bool anyMonitor = false;
    bool anyComponents = false;
    for (uint32_t i = 0; i < c->applicationCount; ++i) {
        const ApplicationRecord& r = c->applications[i];
        if (r.checked != 1) continue;
        anyMonitor = anyMonitor || r.monitor != nullptr;
        anyComponents = anyComponents || r.components != nullptr;
    }
    for (uint32_t i = 0; i < c->applicationCount && *count < kMaxProgramEntries; ++i) {
        const ApplicationRecord& r = c->applications[i];
        if (r.checked != 1) continue;
        for (int n = 0; n < kMaxExecKeys && *count < kMaxProgramEntries; ++n) {
            std::string key = IniListKey("EXECFILE_%02d", n);
            std::string value = ReadIniValue(c->copyFileIni, r.sections[kSecInfo], key);
            if (value.empty()) break;
            std::vector<std::string> f = SplitFields(value);
            f.resize(7);
            std::string path;
            std::string folder;
            if (!ResolveFile(*c, r, f[0], path, folder)) continue;
            ProgramEntry& e = list[(*count)++];
            e = {};
            Copy(e.application, r.name);
            Copy(e.key, key);
            e.run = RunMark(pageIndex, anyMonitor, anyComponents, r) ? 1 : 0;
            Copy(e.program, path);
            Copy(e.workingFolder, folder);
            Copy(e.parameters, f[1]);
            e.wait = f[2].empty() ? 0 : 1;
            e.runOnce = f[3].empty() ? 0 : 1;
            Copy(e.runOnceValue, f[4]);
            std::string later;
            std::string laterFolder;
            if (ResolveFile(*c, r, f[5], later, laterFolder)) Copy(e.runOnceProgram, later);
            Copy(e.runOnceParameters, f[6]);
        }
    }
    return 1;
}

int DeferForUac(SetupContext* c, const ProgramEntry* e) {
    if (!c->uac || !DeferredToUacList(*c, *e)) return 1;
    std::string folder = SetupFolderOnWindowsDrive(*c);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string ini = JoinFolder(folder, "Zksetup.ini");
    int& counter = e->wait ? g_deferredWait : g_deferredNoWait;
    const char* fileKey = e->wait ? "WAIT_%02d" : "FILE_%02d";
    const char* commandKey = e->wait ? "WAIT_COMMAND_%02d" : "FILE_COMMAND_%02d";
    WritePrivateProfileStringA("FILE", IniListKey(fileKey, counter).c_str(), e->program, ini.c_str());
    WritePrivateProfileStringA("FILE", IniListKey(commandKey, counter).c_str(), e->parameters, ini.c_str());
    ++counter;
    LogPrintf(e->wait ? "  --> UAC(Wait): %s" : "  --> UAC(Not Wait): %s", e->program);
    return 0;
}

void ExecApplication(HWND frame, HWND, SetupContext* c, const ProgramEntry* list, int count) {
    for (int i = 0; i < count; ++i) {
        const ProgramEntry& e = list[i];
        if (!e.run || !HasExecutable(e.program)) continue;
        LogPrintf("[%s] Application(Execute) : %s", e.application, e.program);
        if (!DeferForUac(c, &e)) continue;
        SHELLEXECUTEINFOA run{};
        run.cbSize = sizeof run;
        run.fMask = SEE_MASK_NOCLOSEPROCESS;
        run.hwnd = frame;
        run.lpVerb = "open";
        run.lpFile = e.program;
        run.lpParameters = e.parameters[0] ? e.parameters : nullptr;
        run.lpDirectory = e.workingFolder;
        run.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExA(&run)) {
            LogPrintf("  --> Application Error: 0x%08lx", GetLastError());
            continue;
        }
        if (e.wait && run.hProcess) {
            LogPrintf("  Application Waiting...");
            ShowWindow(frame, SW_HIDE);
            WaitForSingleObject(run.hProcess, INFINITE);
        }
        if (run.hProcess) CloseHandle(run.hProcess);
    }
    if (frame) ForceForegroundWindow(frame, c->osCode);
}

void SetRunOnce(HWND, const ProgramEntry* list, int count) {
    for (int i = 0; i < count; ++i) {
        const ProgramEntry& e = list[i];
        if (!e.run || !e.runOnce || !e.runOnceProgram[0] || !HasExecutable(e.runOnceProgram)) continue;
        LogPrintf("[%s] Application(RunOnce) : %s", e.application, e.runOnceProgram);
        std::string text = RunOnceText(e.runOnceProgram, e.runOnceParameters);
        WriteRegistryValue(HKEY_LOCAL_MACHINE, kRunOnceKey, e.runOnceValue, text.c_str(),
                           static_cast<DWORD>(text.size() + 1), REG_SZ);
        LogPrintf("  HKEY_LOCAL_MACHINE\\%s, %s = %s", kRunOnceKey, e.runOnceValue, text.c_str());
    }
}
