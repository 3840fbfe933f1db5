#include "component_runner.h"

#include "driver_installer.h"
#include "driver_use_count.h"
#include "ini_text.h"
#include "os_info.h"
#include "os_ini_key.h"
#include "path_helpers.h"
#include "service_installer.h"
#include "setup_log.h"

#include <win_handles.h>

#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMaxListEntries = 100;
constexpr int kPlaceDrivers = 1, kPlaceServices = 2, kPlaceFiles = 3;

std::string Ini(const ComponentEntry* e, const std::string& section, const char* key, DWORD chars = 260) {
    std::vector<char> value(chars + 1);
    GetPrivateProfileStringA(section.c_str(), key, "", value.data(), chars + 1, e->componentIni);
    return value.data();
}

std::string IniFolder(const char* iniPath) {
    std::string folder(iniPath);
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

uint16_t ModeOf(const char* word) {
    static const struct { const char* word; uint16_t mode; } kModes[] = {
        {"INSTALL", kModeInstall}, {"UNINSTALL", kModeUninstall}, {"VCHECK", kModeVersionCheck},
        {"ICHECK", kModeInstalledCheck}, {"STOP", kModeStop}};
    for (const auto& m : kModes) {
        if (lstrcmpiA(word, m.word) == 0) return m.mode;
    }
    return kModeNone;
}

int PlaceOf(const std::string& word) {
    if (lstrcmpiA(word.c_str(), "DRIVER") == 0) return kPlaceDrivers;
    if (lstrcmpiA(word.c_str(), "SERVICE") == 0) return kPlaceServices;
    if (lstrcmpiA(word.c_str(), "FILE") == 0) return kPlaceFiles;
    return 0;
}

void ParseOrder(const char* text, int (&order)[3]) {
    order[0] = kPlaceDrivers, order[1] = kPlaceServices, order[2] = kPlaceFiles;
    int parsed[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        char copy[260];
        lstrcpynA(copy, text ? text : "", sizeof copy);
        const char* field = GetToken(copy, ";", 3, i);
        parsed[i] = field ? PlaceOf(field) : 0;
    }
    if (parsed[0] != 0) std::memcpy(order, parsed, sizeof order);
    LogPrintf("  Order : %d, %d, %d", order[0], order[1], order[2]);
}

// Ends the run at a failing entry.
void Stop(ComponentSet* set, ComponentEntry& e) {
    e.done = 0;
    if (set->error) {
        lstrcpynA(set->error->name, e.name, sizeof set->error->name);
        set->error->code = e.result;
    }
}

bool RunDrivers(HWND window, ComponentSet* set) {
    for (uint32_t i = 0; i < set->driverCount; ++i) {
        ComponentEntry& e = set->drivers[i];
        if (e.mode == kModeInstall) {
            e.result = RunDriverEntry(window, &e);
        } else if (e.mode == kModeUninstall) {
            if (ReleaseDriverUser(set->application, e.registryName, TRUE)) {
                e.result = RunDriverEntry(window, &e);
            } else {
                e.result = 0;
                if (lstrcmpiA(e.registryName, "Zkuptp Driver") == 0) BusDriverRemovable = 0;
            }
        } else {
            e.result = 0;
        }
        if (e.result != 0 && e.result != 10) {
            Stop(set, e);
            return false;
        }
        e.done = 1;
        if (e.mode == kModeInstall) CountDriverUser(set->application, e.registryName);
        if (e.mode == kModeUninstall) ReleaseDriverUser(set->application, e.registryName, FALSE);
    }
    return true;
}

bool RunServices(HWND window, ComponentSet* set) {
    for (uint32_t i = 0; i < set->serviceCount; ++i) {
        ComponentEntry& e = set->services[i];
        if (e.mode == kModeInstall) e.result = RunServiceEntry(window, &e);
        else if (e.mode == kModeUninstall) e.result = RunServiceUninstallEntry(window, &e);
        else if (e.mode == kModeStop) e.result = 0;
        if (e.result != 0 && e.result != 12) {
            Stop(set, e);
            return false;
        }
        e.done = 1;
    }
    return true;
}

bool RunFiles(HWND window, ComponentSet* set) {
    for (uint32_t i = 0; i < set->fileCount; ++i) {
        ComponentEntry& e = set->files[i];
        e.result = RunFileEntry(window, &e);
        if (e.result != 0) {
            Stop(set, e);
            return false;
        }
        e.done = 1;
    }
    return true;
}

// The count of a numbered list, up to its first empty value.
uint32_t CountList(const char* iniPath, const char* section, const char* format) {
    uint32_t n = 0;
    while (n < kMaxListEntries && !GetIniString(iniPath, section, IniListKey(format, static_cast<int>(n)).c_str()).empty()) {
        ++n;
    }
    return n;
}

bool ReadList(const char* iniPath, const char* section, const char* format, const char* componentIni,
              uint32_t& count, ComponentEntry*& entries) {
    count = CountList(iniPath, section, format);
    entries = nullptr;
    if (count == 0) return true;
    entries = static_cast<ComponentEntry*>(LocalAlloc(LPTR, sizeof(ComponentEntry) * count));
    if (!entries) return false;
    for (uint32_t i = 0; i < count; ++i) {
        char value[261] = "";
        GetPrivateProfileStringA(section, IniListKey(format, static_cast<int>(i)).c_str(), "", value, sizeof value,
                                 iniPath);
        ParseComponentEntry(value, entries[i].name, entries[i].registryName, &entries[i].mode);
        lstrcpynA(entries[i].componentIni, componentIni ? componentIni : "", sizeof entries[i].componentIni);
    }
    return true;
}

}  // namespace

int ParseComponentEntry(const char* value, char* name, char* registryName, uint16_t* mode) {
    if (!value || !name || !registryName || !mode) return 0;
    char* outs[2] = {name, registryName};
    for (int i = 0; i < 3; ++i) {
        char copy[261];
        lstrcpynA(copy, value, sizeof copy);
        const char* field = GetToken(copy, ";", 3, i);
        if (!field || !*field) return 0;
        if (i < 2) lstrcpynA(outs[i], field, 64);
        else *mode = ModeOf(field);
    }
    return 1;
}

int ReadComponentLists(HWND /*window*/, ComponentSet* set, const char* section, const char* iniPath,
                       const char* componentIniPath) {
    if (!set || !section || !iniPath) return 0;
    bool ok = ReadList(iniPath, section, "DRIVER_%02d", componentIniPath, set->driverCount, set->drivers) &&
              ReadList(iniPath, section, "SERVICE_%02d", componentIniPath, set->serviceCount, set->services) &&
              ReadList(iniPath, section, "FILE_%02d", componentIniPath, set->fileCount, set->files);
    if (!ok) FreeComponentLists(set);
    return ok ? 1 : 0;
}

void FreeComponentLists(ComponentSet* set) {
    if (!set) return;
    for (ComponentEntry** list : {&set->drivers, &set->services, &set->files}) {
        if (*list) LocalFree(*list);
        *list = nullptr;
    }
    set->driverCount = set->serviceCount = set->fileCount = 0;
}

int RunComponents(HWND window, ComponentSet* set, int kinds) {
    if (!set) return 0;
    int order[3];
    ParseOrder(set->order, order);
    for (int place : order) {
        bool goOn = true;
        if (place == kPlaceDrivers && (kinds & kRunDrivers)) goOn = RunDrivers(window, set);
        if (place == kPlaceServices && (kinds & kRunServices)) goOn = RunServices(window, set);
        if (place == kPlaceFiles && (kinds & kRunFiles)) goOn = RunFiles(window, set);
        if (!goOn) break;
    }
    return 1;
}

uint32_t RunDriverEntry(HWND window, ComponentEntry* e) {
    if (e->mode == kModeUninstall && _strnicmp(e->registryName, "zkspe driver", 12) == 0) {
        Zkuptp_AllClearComInfo();
        LogPrintf("    Zkuptp_AllClearComInfo success.(%s)", e->registryName);
    }
    std::string section = std::string("DRIVER_") + e->name;
    std::string name = Ini(e, section, "NAME", 64);
    if (name.empty()) return 0;
    uint32_t flags = 0;
    int code = GetOsVersionCode(&flags);
    char suffix[128] = "";
    GetOsIniKey(e->componentIni, code, flags, section.c_str(), suffix, sizeof suffix);
    std::string path = Ini(e, section, ("PATH" + std::string(suffix)).c_str());
    std::string package = Ini(e, section, ("PACKAGE" + std::string(suffix)).c_str());
    std::string infName = Ini(e, section, "INFFILE");
    std::string folder = path.substr(0, path.find(';'));
    std::string decoration = path.find(';') == std::string::npos ? "" : path.substr(path.find(';') + 1);
    std::string base = IniFolder(e->componentIni);
    DriverRequest request{};
    // Every file named by the script lies below the component INI's folder, whole.
    std::string driverFolder, inf, packageFolder, library;
    bool placed = JoinBelowFolder(base, folder, driverFolder) &&
                  (infName.empty() || JoinBelowFolder(driverFolder, infName, inf)) &&
                  (package.empty() || (JoinBelowFolder(base, package, packageFolder) &&
                                       JoinBelowFolder(packageFolder, "difxapi.dll", library)));
    lstrcpynA(request.InfFile, inf.c_str(), sizeof request.InfFile);
    lstrcpynA(request.PackageFile, library.c_str(), sizeof request.PackageFile);
    request.mode = e->mode;
    request.size = sizeof request;
    lstrcpynA(request.TargetOS, decoration.c_str(), sizeof request.TargetOS);
    LogPrintf("[Driver]");
    LogPrintf("  Name        : %s", name.c_str());
    LogPrintf("  InfFile     : %s", request.InfFile);
    LogPrintf("  Package File: %s", request.PackageFile);
    LogPrintf("  TargetOS    : %s", request.TargetOS);
    LogPrintf("  Mode        : %04x", e->mode);
    uint32_t result = kSetupFileMissing;
    if (placed) ZkSetupDriver(window, &request, &result);
    LogPrintf(e->mode == kModeInstall ? "  (INSTALL) dwLastCode:%d" : "  (UNINSTALL) dwLastCode:%d",
              static_cast<int>(result));
    return result;
}

uint32_t RunServiceEntry(HWND /*window*/, ComponentEntry* e) {
    std::string section = std::string("SERVICE_") + e->name;
    std::string name = Ini(e, section, "NAME", 64);
    if (name.empty()) return 0;
    std::string explanation = Ini(e, section, "EXPLANATION");
    std::string depends = Ini(e, section, "DEPENDTION");
    std::string tail = Ini(e, section, "CMDLINE", 128);
    // "a,b,c" becomes the multi-string "a\0b\0c\0\0".
    std::string list;
    for (size_t start = 0; !depends.empty() && start <= depends.size();) {
        size_t comma = depends.find(',', start);
        std::string one = depends.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!one.empty()) list += one + '\0';
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    DWORD length = list.empty() ? 0 : static_cast<DWORD>(list.size() + 1);
    list += '\0';
    LogPrintf("[Service]");
    LogPrintf("  Name:%s", name.c_str());
    LogPrintf("  szExecFile:%s", e->programPath);
    LogPrintf("  szExplanation:%s", explanation.c_str());
    LogPrintf("  szCmdLine:%s", tail.c_str());
    LogPrintf("  szDependtion:%s", depends.c_str());
    LogPrintf("  dwCount:%d", static_cast<int>(length));
    uint32_t result = 0;
    ZkServiceInstall(name.c_str(), e->programPath, explanation.c_str(), tail.c_str(), list.data(), length, e->mode,
                     &result);
    LogPrintf("  [dwCode] : %d", static_cast<int>(result));
    return result;
}

uint32_t RunServiceUninstallEntry(HWND /*window*/, ComponentEntry* e) {
    std::string name = Ini(e, std::string("SERVICE_") + e->name, "NAME", 64);
    if (name.empty()) return 0;
    LogPrintf("[Service]");
    LogPrintf("  Name:%s", name.c_str());
    uint32_t result = 0;
    ZkServiceUninstall(name.c_str(), &result);
    LogPrintf("  [UNINSTALL] dwLastCode:%d", static_cast<int>(result));
    return result;
}

uint32_t RunFileEntry(HWND window, ComponentEntry* e) {
    std::string section = std::string("FILE_") + e->name;
    std::string name = Ini(e, section, "NAME", 64);
    if (name.empty()) return 0;
    std::string command = Ini(e, section, "COMMAND");
    if (command.empty() && e->mode == kModeInstall) command = Ini(e, section, "INSTALLCOMMAND");
    if (command.empty() && e->mode == kModeUninstall) command = Ini(e, section, "UNINSTALLCOMMAND");
    if (LogFlags != 0) {
        // The program logs with the same switches.
        std::string option = "-d";
        if (LogFlags & kLogStepFile) option += "log";
        if (LogFlags & kLogDebugger) option += "out";
        if (LogFlags & kLogFileOps) option += "qa";
        command = command.empty() ? option : command + " " + option;
    }
    LogPrintf("[File Start]");
    LogPrintf("  Name     : %s", name.c_str());
    LogPrintf("  ExecFile : %s", e->programPath);
    LogPrintf("  szCommand: %s", command.c_str());
    char found[MAX_PATH] = "";
    // An empty path would be "found" as the shell itself.
    if (!FileExists(e->programPath) ||
        reinterpret_cast<INT_PTR>(FindExecutableA(e->programPath, nullptr, found)) <= 32) {
        return e->mode == kModeUninstall ? 0 : 2;
    }
    std::string folder = IniFolder(e->programPath);
    SHELLEXECUTEINFOA run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.hwnd = window;
    run.lpVerb = "open";
    run.lpFile = e->programPath;
    run.lpParameters = command.empty() ? nullptr : command.c_str();
    run.lpDirectory = folder.c_str();
    run.nShow = SW_SHOW;
    uint32_t result = 0;
    if (!ShellExecuteExA(&run)) {
        LogPrintf("  Application Error(0x%08lx) : %s", GetLastError(), e->programPath);
        result = 1;
    } else if (run.hProcess) {
        qz::Handle process(run.hProcess);
        WaitForSingleObject(process.get(), INFINITE);
    }
    LogPrintf("  [dwCode] : %d", static_cast<int>(result));
    return result;
}
