#include "application_records.h"

#include "component_runner.h"
#include "ini_text.h"
#include "monitor_steps.h"
#include "os_info.h"
#include "os_ini_key.h"
#include "path_helpers.h"
#include "script_text.h"
#include "setup_log.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr const char* kSectionFormats[kAppSectionCount] = {"%s_MONITOR", "%s",      "%s_UNINSTLOG", "%s_COMPONENT",
                                                           "%s_INFO",    "%s",      "%s_ICF"};
constexpr const char* kListNames[kListSectionCount] = {"FILE",        "SHARED",  "PATH",      "UNINSTALL",
                                                       "APPLICATION", "MONITOR", "COMPONENT", "INFO"};

std::string OsWordOf(const SetupContext* c, const std::string& name) {
    char word[16] = "";
    std::string section = name + "_INFO";
    GetOsIniKey(c->copyFileIni, c->osCode, c->osFlags, section.c_str(), word, sizeof word);
    return word;
}

bool Counts(const SetupContext* c, int n) {
    std::string app = ReadIniValue(c->copyFileIni, "APPLIINFO", IniListKey("APP_%02d", n).c_str());
    return !app.empty() && !OsWordOf(c, FieldOf(app, 0)).empty();
}

void Copy(char* field, size_t size, const std::string& value) { snprintf(field, size, "%s", value.c_str()); }

void FillRecord(SetupContext* c, ApplicationRecord* r, int n, const std::string& app, const std::string& word) {
    Copy(r->displayName, sizeof r->displayName, ReadIniValue(c->messageIni, "LIST", IniListKey("LIST_%02d", n).c_str(), 127));
    std::string memo = ReadIniValue(c->messageIni, "LIST", IniListKey("MEMO_%02d", n).c_str(), 511);
    Copy(r->memo, sizeof r->memo, memo);
    ExpandEscapes(r->memo, strlen(r->memo));
    r->checked = GetPrivateProfileIntA("APPLIINFO", IniListKey("CHECK_%02d", n).c_str(), 0, c->copyFileIni);
    Copy(r->name, sizeof r->name, FieldOf(app, 0));
    Copy(r->sharedWith, sizeof r->sharedWith, FieldOf(app, 1));
    std::string icon = ReadIniValue(c->copyFileIni, "APPLIINFO", IniListKey("ICON_%02d", n).c_str());
    Copy(r->iconPath, sizeof r->iconPath, JoinFolder(c->workFolder, icon));
    std::string sub = ReadIniValue(c->copyFileIni, "FOLDER", IniListKey("FOLDER_%02d", n).c_str());
    Copy(r->subFolder, sizeof r->subFolder, sub.empty() ? "\\" : sub);
    for (int i = 0; i < kAppSectionCount; ++i) snprintf(r->sections[i], sizeof r->sections[i], kSectionFormats[i], r->name);
    for (int i = 0; i < kListSectionCount; ++i) Copy(r->listSections[i], sizeof r->listSections[i], kListNames[i]);
    Copy(r->osWord, sizeof r->osWord, word);
    LogPrintf("[%s]", r->name);
    LogPrintf("  AppName: %s", r->displayName);
    LogPrintf("  Check  : %s", r->checked == 1 ? "ON" : "OFF");
    LogPrintf("  OsSec  : %s", r->osWord);
    LogPrintf("  Icon   : %s", r->iconPath);
    LogPrintf("  Install: %s", r->subFolder);
}

bool SpecialFolder(int csidl, std::string& out) {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return false;
    char path[MAX_PATH] = "";
    bool ok = SHGetPathFromIDListA(list, path) != FALSE;
    CoTaskMemFree(list);
    out = path;
    return ok;
}

std::string PrinterEnvironment() {
    if (g_setup.osFlags & kOsFlag64Bit) return "Windows x64";
    return g_setup.osCode < 4 ? "Windows 4.0" : "Windows NT x86";
}

bool StartsWithNoCase(const char* text, const char* head) { return _strnicmp(text, head, strlen(head)) == 0; }

bool MacroFolder(const char* spec, const std::string& base, std::string& folder, size_t& macroLength) {
    char buffer[MAX_PATH] = "";
    static const char* const kHeads[] = {"@WIN", "@SYS", "@LAN", "@CDRIVE", "@APPDATA", "@PRINT", "@PROCESSOR", "@PFCOMMON"};
    for (int i = 0; i < 8; ++i) {
        if (!StartsWithNoCase(spec, kHeads[i])) continue;
        macroLength = strlen(kHeads[i]);
        DWORD needed = 0;
        switch (i) {
        case 0: GetWindowsFolder(buffer, sizeof buffer); folder = buffer; break;
        case 1: GetSystemDirectoryA(buffer, sizeof buffer); folder = buffer; break;
        case 2: folder = JoinFolder(base, g_setup.language); break;
        case 3: GetWindowsFolder(buffer, sizeof buffer); folder = std::string(buffer).substr(0, 3); break;
        case 4: SpecialFolder(CSIDL_COMMON_APPDATA, folder); break;
        case 5:
            GetPrinterDriverDirectoryA(nullptr, const_cast<char*>(PrinterEnvironment().c_str()), 1,
                                       reinterpret_cast<BYTE*>(buffer), sizeof buffer, &needed);
            folder = buffer;
            break;
        case 6:
            GetPrintProcessorDirectoryA(nullptr, const_cast<char*>(PrinterEnvironment().c_str()), 1,
                                        reinterpret_cast<BYTE*>(buffer), sizeof buffer, &needed);
            folder = buffer;
            break;
        default: SpecialFolder(CSIDL_PROGRAM_FILES_COMMON, folder); break;
        }
        return true;
    }
    return false;
}

// Cuts the last component of base (working on wide characters so that a double-byte
// character's second byte is never taken for a backslash).
bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

std::string ParentFolder(const std::string& base) {
    std::wstring wide = OemToWide(base.c_str());
    size_t cut = wide.find_last_of(L'\\');
    if (cut == std::wstring::npos) return base;
    return WideToOem(wide.substr(0, cut));
}

// A path that would leave its base: a drive or network path, or a ".." part that the
// two leading levels did not take (Windows would resolve it above the base).
bool LeavesItsBase(const char* spec) {
    if ((spec[0] && spec[1] == ':') || (IsSeparator(spec[0]) && IsSeparator(spec[1]))) return true;
    const char* part = spec;
    for (const char* p = spec;; ++p) {
        if (*p == '\0' || IsSeparator(*p)) {
            if (p - part == 2 && part[0] == '.' && part[1] == '.') return true;
            if (*p == '\0') return false;
            part = p + 1;
        }
    }
}

// A whole-name entry (any case), or with byWildcard a pattern entry such as "*.*".
bool NameMatches(const std::string& field, const char* name, bool byWildcard) {
    bool pattern = field.find_first_of("*?") != std::string::npos;
    if (pattern) return byWildcard && PathMatchSpecA(name, field.c_str()) != FALSE;
    return !byWildcard && _stricmp(field.c_str(), name) == 0;
}

bool FindListEntry(const char* ini, const std::string& section, const char* name, bool byWildcard, std::string& entry) {
    for (int n = 0;; ++n) {
        std::string value = ReadIniValue(ini, section.c_str(), IniListKey("FILE_%03d", n).c_str());
        if (value.empty()) return false;
        if (NameMatches(FieldOf(value, 0), name, byWildcard)) {
            entry = value;
            return true;
        }
    }
}

}  // namespace

std::string JoinFolder(const std::string& folder, const std::string& name) {
    std::string result = folder;
    size_t start = 0;
    while (start < name.size() && name[start] == '\\') ++start;
    if (start >= name.size()) return result;
    if (!result.empty() && result.back() != '\\') result += '\\';
    return result + name.substr(start);
}

void ReadApplicationInfo(SetupContext* c) {
    int last = -1;
    for (int n = 0; n < 100; ++n) {
        if (ReadIniValue(c->messageIni, "LIST", IniListKey("LIST_%02d", n).c_str()).empty()) break;
        if (Counts(c, n)) last = n;
    }
    if (last < 0) {
        LogPrintf("  There is no application to be installed.");
        return;
    }
    c->applications = new (std::nothrow) ApplicationRecord[last + 1]();
    if (!c->applications) return;
    c->applicationCount = static_cast<uint32_t>(last + 1);
    LogPrintf("*** Application Information ***");
    int withWord = 0;
    ApplicationRecord* only = nullptr;
    for (int n = 0; n <= last; ++n) {
        std::string app = ReadIniValue(c->copyFileIni, "APPLIINFO", IniListKey("APP_%02d", n).c_str());
        if (app.empty()) break;
        std::string word = OsWordOf(c, FieldOf(app, 0));
        if (word.empty()) continue;
        FillRecord(c, &c->applications[n], n, app, word);
        ++withWord;
        only = &c->applications[n];
    }
    if (withWord == 1) {
        only->checked = 1;
        c->pages[kSwitchApplication] = 0;
    }
    if (IsSilent(*c)) c->pages[kSwitchApplication] = 0;
}

void FreeApplicationInfo(SetupContext* c) {
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        ApplicationRecord& r = c->applications[i];
        if (r.components) {
            FreeComponentLists(r.components);
            delete r.components;
        }
        if (r.monitor) {
            FreeMonitorList(r.monitor);
            delete r.monitor;
        }
    }
    delete[] c->applications;
    c->applications = nullptr;
    c->applicationCount = 0;
}

int ExpandPathMacro(const char* spec, const char* baseFolder, char* out, size_t outSize, int useGivenBase) {
    if (!spec || !out || outSize == 0) return 0;
    if (useGivenBase && !baseFolder) return 0;
    std::string base = useGivenBase ? baseFolder : g_setup.workFolder;
    for (int level = 0; level < 2 && strncmp(spec, "..", 2) == 0; ++level) {
        base = ParentFolder(base);
        spec += strlen(spec) >= 3 ? 3 : strlen(spec);
    }
    if (LeavesItsBase(spec)) return 0;
    std::string folder;
    size_t macroLength = 0;
    if (MacroFolder(spec, base, folder, macroLength)) {
        folder = JoinFolder(folder, spec + macroLength);
    } else if (const char* lan = strstr(spec, "@LAN")) {
        folder = JoinFolder(JoinFolder(JoinFolder(base, std::string(spec, lan)), g_setup.language), lan + 4);
    } else {
        folder = JoinFolder(base, spec);
    }
    if (folder.size() >= outSize) return 0;
    memcpy(out, folder.c_str(), folder.size() + 1);
    return 1;
}

int GetInstalledFilePath(const char* fileName, const char* application, const char* osWord, const char* baseFolder,
                         const char* copyFileIni, char* outFolder, int form) {
    if (!fileName || !application || !copyFileIni || !outFolder) return 0;
    if (*fileName == '\\') ++fileName;
    std::string entry;
    std::string common = std::string(application) + "_COMMON";
    std::string own = std::string(application) + "_" + (osWord ? osWord : "");
    // An entry that names the file wins over a pattern that happens to cover it (a folder
    // copied with "*.*" listed before the file's own entry).
    bool found = false;
    for (bool byWildcard : {false, true}) {
        found = FindListEntry(copyFileIni, common, fileName, byWildcard, entry) ||
                FindListEntry(copyFileIni, own, fileName, byWildcard, entry);
        if (found) break;
    }
    if (!found) return 0;
    std::string folder = FieldOf(entry, form == kInstalledForm ? 2 : 1);
    if (!ExpandPathMacro(folder.c_str(), baseFolder, outFolder, MAX_PATH, form == kInstalledForm)) return 0;
    return outFolder[0] != '\0';
}

ApplicationRecord* FindApplicationRecord(SetupContext* c, const char* name) {
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        if (c->applications[i].name[0] && _stricmp(c->applications[i].name, name) == 0) return &c->applications[i];
    }
    return nullptr;
}
