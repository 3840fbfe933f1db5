#include "registry_entries.h"

#include "application_records.h"
#include "ini_text.h"
#include "os_info.h"
#include "registry_roots.h"
#include "registry_value.h"
#include "script_text.h"
#include "setup_log.h"

#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char* RootWord(HKEY root) {
    for (const RegistryRootName& r : kRegistryRootNames) {
        if (r.root == root) return r.shortName;
    }
    return "";
}

std::string CommonAppData() {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE);
    return path;
}

// Writes one string or number value; the log lines of a REGEX entry or a control-panel entry.
bool WriteTyped(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& data,
                const ApplicationRecord* record, bool fullPath, bool panel) {
    const char* valueName = name == " " ? "" : name.c_str();
    if (type == REG_DWORD) {
        DWORD number = strtoul(data.c_str(), nullptr, 10);
        if (panel) LogPrintf("    --> (%s): %lu", valueName, static_cast<unsigned long>(number));
        else LogPrintf("    --> %s: %lu", valueName, static_cast<unsigned long>(number));
        return WriteRegistryValue(root, key.c_str(), valueName, &number, sizeof number, REG_DWORD) != 0;
    }
    if (type == REG_BINARY) {
        if (panel) return false;
        std::string bytes = ParseBinaryData(data.c_str());
        LogPrintf("    --> %s: %s", valueName, data.c_str());
        return WriteRegistryValue(root, key.c_str(), valueName, bytes.data(), static_cast<DWORD>(bytes.size()),
                                  REG_BINARY) != 0;
    }
    char expanded[520];
    ExpandRegistryPath(record, data.c_str(), expanded, sizeof expanded, fullPath);
    if (panel) LogPrintf("    --> (%s): %s", valueName, expanded);
    else LogPrintf("    --> %s : %s", valueName, expanded);
    std::string bytes = StringValueBytes(expanded, type);
    return WriteRegistryValue(root, key.c_str(), valueName, bytes.data(), static_cast<DWORD>(bytes.size()), type) != 0;
}

template <typename Fn>
void ForChecked(SetupContext* c, Fn fn) {
    for (uint32_t i = 0; c->applications && i < c->applicationCount; ++i) {
        if (c->applications[i].checked && c->applications[i].name[0]) fn(c->applications[i]);
    }
}

// Every value entry of a numbered list of [section], CopyFile.ini first, then the message INI.
void WritePanelList(const SetupContext* c, const std::string& section, const std::string& format, HKEY root,
                    const std::string& key, const ApplicationRecord* record) {
    for (const char* ini : {c->copyFileIni, c->messageIni}) {
        for (int n = 0;; ++n) {
            std::string entry = ReadIniValue(ini, section, IniListKey(format.c_str(), n));
            if (entry.empty()) break;
            WriteScriptRegistryValue(c->osCode, c->osFlags, root, key.c_str(), entry.c_str(), record);
        }
    }
}

}  // namespace

bool OsFilterMatches(const char* filter, int osCode, uint32_t osFlags) {
    if (!filter) return false;
    if (ContainsNoCase(filter, "COMMON")) return true;
    char word[32];
    // Every release the support library knows has its word, the newer ones too.
    if (!GetOsKeyWord(osCode, osFlags, word, sizeof word)) return false;
    return ContainsNoCase(filter, word);
}

HKEY ScriptRegistryRoot(const char* word) {
    for (const RegistryRootName& r : kRegistryRootNames) {
        if (word && _stricmp(word, r.shortName) == 0) return r.root;
    }
    return nullptr;
}

DWORD ScriptValueType(const char* word) {
    if (!word) return REG_NONE;
    if (ContainsNoCase(word, "DWORD")) return REG_DWORD;
    if (ContainsNoCase(word, "BINARY")) return REG_BINARY;
    if (ContainsNoCase(word, "MULTI")) return REG_MULTI_SZ;
    if (ContainsNoCase(word, "EXPAND")) return REG_EXPAND_SZ;
    if (ContainsNoCase(word, "SZ")) return REG_SZ;
    return REG_NONE;
}

std::string ParseBinaryData(const char* data) {
    std::string text = data ? data : "";
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text = text.substr(2);
    std::string bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        std::string piece = text.substr(i, 2);
        bytes.push_back(static_cast<char>(strtoul(piece.c_str(), nullptr, 10) & 0xFF));
    }
    return bytes;
}

std::string StringValueBytes(const std::string& text, DWORD type) {
    std::string bytes = text;
    bytes.push_back('\0');
    // A multi-string ends with an empty string: a second zero.
    if (type == REG_MULTI_SZ) bytes.push_back('\0');
    return bytes;
}

void ExpandRegistryPath(const ApplicationRecord* record, const char* data, char* out, size_t size, bool fullPath) {
    std::string text = data ? data : "";
    std::string result = text;
    if (_strnicmp(text.c_str(), "@APPDATA", 8) == 0) {
        result = JoinFolder(CommonAppData(), text.substr(8));
    } else if (_strnicmp(text.c_str(), "@CDRIVE", 7) == 0) {
        char windows[MAX_PATH] = "";
        GetWindowsDirectoryA(windows, sizeof windows);
        result = JoinFolder(std::string(windows).substr(0, 3), text.substr(7));
    } else if (!text.empty() && text[0] == '\\' && record) {
        std::string rest = text.substr(1);
        std::string name = rest.substr(0, rest.find(','));
        char folder[MAX_PATH];
        if (GetInstalledFilePath(name.c_str(), record->name, record->osWord, record->installFolder, g_setup.copyFileIni,
                                 folder, 1)) {
            result = fullPath ? JoinFolder(folder, rest) : std::string(folder);
        }
    }
    snprintf(out, size, "%s", result.c_str());
}

int WriteRegistryEntry(SetupContext* c, const ApplicationRecord* record, const char* entry) {
    std::vector<std::string> f = SplitFields(entry ? entry : "");
    if (f.size() < 5) return 0;
    f.resize(8);
    if (!OsFilterMatches(f[0].c_str(), c->osCode, c->osFlags)) return 0;
    HKEY root = ScriptRegistryRoot(f[1].c_str());
    DWORD type = ScriptValueType(f[4].c_str());
    if (!root) return 0;
    if (type == REG_NONE) return 1;
    const char* valueName = f[3] == " " ? "" : f[3].c_str();
    if (_stricmp(f[7].c_str(), "PROTECT") == 0) {
        DWORD size = 0;
        DWORD existing = 0;
        HKEY key = nullptr;
        bool present = RegOpenKeyExA(root, f[2].c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS &&
                       RegQueryValueExA(key, valueName, nullptr, &existing, nullptr, &size) == ERROR_SUCCESS;
        if (key) RegCloseKey(key);
        if (present) return 1;
    }
    LogPrintf("  %s\\%s", f[1].c_str(), f[2].c_str());
    bool fullPath = !f[6].empty() && (f[6][0] == 'C' || f[6][0] == 'c');
    WriteTyped(root, f[2], f[3], type, f[5], record, fullPath, false);
    return 1;
}

void WriteRegistryEntries(HWND /*page*/, SetupContext* c) {
    ForChecked(c, [&](ApplicationRecord& r) {
        for (const char* ini : {c->copyFileIni, c->messageIni}) {
            for (int n = 0;; ++n) {
                std::string entry = ReadIniValue(ini, r.sections[kSecInfo], IniListKey("REGEX_%02d", n));
                if (entry.empty()) break;
                WriteRegistryEntry(c, &r, entry.c_str());
            }
        }
    });
}

void WriteScriptRegistryValue(int osCode, uint32_t osFlags, HKEY root, const char* key, const char* entry,
                              const ApplicationRecord* record) {
    std::vector<std::string> f = SplitFields(entry ? entry : "");
    f.resize(4);
    if (!OsFilterMatches(f[0].c_str(), osCode, osFlags)) return;
    LogPrintf("  Registry: %s\\%s", RootWord(root), key);
    DWORD type = ScriptValueType(f[2].c_str());
    if (type == REG_NONE || type == REG_BINARY) return;
    WriteTyped(root, key, f[1], type, f[3], record, true, true);
}

int SetControlPanel(HWND /*page*/, SetupContext* c) {
    LogPrintf("*** ControlPanel ***");
    ForChecked(c, [&](ApplicationRecord& r) {
        std::string section = std::string(r.name) + "_CPL";
        for (int n = 0;; ++n) {
            std::string guid = ReadIniValue(c->copyFileIni, section, IniListKey("GUID_%02d", n));
            if (guid.empty()) break;
            std::vector<std::string> f = SplitFields(guid);
            f.resize(3);
            if (!OsFilterMatches(f[0].c_str(), c->osCode, c->osFlags) || f[1].empty() || f[2].empty()) continue;
            const std::string& prefix = f[1];
            std::string name = ReadIniValue(c->copyFileIni, section, prefix + "_CPLNAME");
            if (name.empty()) name = ReadIniValue(c->messageIni, section, prefix + "_CPLNAME");
            if (name.empty()) continue;
            std::string nameSpace =
                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\" + f[2];
            WriteScriptRegistryValue(c->osCode, c->osFlags, HKEY_LOCAL_MACHINE, nameSpace.c_str(), name.c_str(), nullptr);
            std::string clsid = "CLSID\\" + f[2];
            WritePanelList(c, section, prefix + "_DISP_%02d", HKEY_CLASSES_ROOT, clsid, nullptr);
            WritePanelList(c, section, prefix + "_ICON_%02d", HKEY_CLASSES_ROOT, clsid + "\\DefaultIcon", &r);
            WritePanelList(c, section, prefix + "_PATH_%02d", HKEY_CLASSES_ROOT, clsid + "\\Shell\\Open\\Command", &r);
            WritePanelList(c, section, prefix + "_SHELL_%02d", HKEY_CLASSES_ROOT, clsid + "\\ShellFolder", &r);
        }
    });
    return 1;
}
