#include "registry_removal.h"

#include "local_users.h"
#include "script_text.h"
#include "setup_log.h"

#include <registry_roots.h>
#include <win_handles.h>

#include <shlwapi.h>
#include <userenv.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char kTreeMark[] = "*.*";
// The key of the suite's own settings (the utility's, the library's) below every root.
constexpr char kSuiteKey[] = "Software\\Orvik\\Quelbo Plus";
constexpr char kControlPanelMark[] = "@CPL";
constexpr DWORD kStepPauseMs = 50;
constexpr char kNameSpaceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace";
const char* const kClassSubKeys[] = {"DefaultIcon", "Shell\\Open\\Command", "Shell\\Open", "Shell", "ShellFolder", ""};

int CountComponents(const std::string& key) {
    int count = 0;
    size_t start = 0;
    while (start <= key.size()) {
        size_t cut = key.find('\\', start);
        size_t end = cut == std::string::npos ? key.size() : cut;
        if (end > start) ++count;
        if (cut == std::string::npos) break;
        start = cut + 1;
    }
    return count;
}

std::string TrimBackslashes(std::string key) {
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

std::string Below(const std::string& prefix, const std::string& key) { return prefix.empty() ? key : prefix + "\\" + key; }

void DeleteShortcutFile(const std::string& file) {
    if (file.empty()) return;
    DeleteFileA(file.c_str());
    LogPrintf("  Delete : %s", file.c_str());
    Sleep(kStepPauseMs);
}

std::string ShortcutValue(HKEY key) {
    char file[MAX_PATH + 1] = "";
    DWORD size = MAX_PATH;
    DWORD type = 0;
    if (RegQueryValueExA(key, "Shortcut", nullptr, &type, reinterpret_cast<BYTE*>(file), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::string();
    }
    file[size < sizeof file ? size : MAX_PATH] = '\0';
    return file;
}

void DeleteShortcutValueFiles(HKEY root, const std::string& key, bool tree) {
    qz::RegKey opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return;
    if (!tree) {
        DeleteShortcutFile(ShortcutValue(opened.get()));
        return;
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(opened.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return;
        qz::RegKey child;
        if (RegOpenKeyExA(opened.get(), name, 0, KEY_READ, child.put()) == ERROR_SUCCESS) {
            DeleteShortcutFile(ShortcutValue(child.get()));
        }
    }
}

void DeleteLogged(HKEY root, const char* rootText, const std::string& key) {
    LONG error = RegDeleteKeyA(root, key.c_str());
    LogPrintf("  Delete: %s\\%s, Error(0x%08lx)", rootText, key.c_str(), static_cast<unsigned long>(error));
}

void DeleteControlPanelEntry(const std::string& classId) {
    qz::RegKey probe;
    std::string nameSpace = std::string(kNameSpaceKey) + "\\" + classId;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, nameSpace.c_str(), 0, KEY_READ, probe.put()) == ERROR_SUCCESS) {
        probe.reset();
        DeleteLogged(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", nameSpace);
    }
    std::string classKey = "CLSID\\" + classId;
    for (const char* sub : kClassSubKeys) {
        std::string key = *sub ? classKey + "\\" + sub : classKey;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, probe.put()) != ERROR_SUCCESS) continue;
        probe.reset();
        DeleteLogged(HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", key);
    }
    Sleep(kStepPauseMs);
}

void DeleteKeyTree(HKEY root, const std::string& prefix, const RegistryEntry& e) {
    std::string key = Below(prefix, e.key);
    qz::RegKey probe;
    switch (e.kind) {
    case RegistryEntryKind::kControlPanel: DeleteControlPanelEntry(e.key); return;
    case RegistryEntryKind::kTree:
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, probe.put()) == ERROR_SUCCESS) {
            probe.reset();
            SHDeleteKeyA(root, key.c_str());
        }
        break;
    case RegistryEntryKind::kPlainKey:
        // RegDeleteKey leaves a key that still has subkeys.
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, probe.put()) == ERROR_SUCCESS) {
            probe.reset();
            RegDeleteKeyA(root, key.c_str());
        }
        break;
    case RegistryEntryKind::kRefused: return;
    }
    LogPrintf("  %s %s", e.rootWord.c_str(), e.subKey.c_str());
    Sleep(kStepPauseMs);
}

// The keys below which a whole tree may go: the suite's own key, and the keys that the setup
// recorded as its own (the shared-use key of [SHARED] SHAREDKEY, the Uninstall entry), by
// their path below any root.
std::vector<std::string> OwnTreeKeys(const UninstallContext& c) {
    std::vector<std::string> keys = {kSuiteKey};
    std::string shared = ReadIniValue(c.listIni, "SHARED", "SHAREDKEY", MAX_PATH);
    std::string company = FieldOf(shared, 0);
    std::string product = FieldOf(shared, 1);
    if (CountComponents(company) == 1 && CountComponents(product) == 1 && company.find('\\') == std::string::npos &&
        product.find('\\') == std::string::npos) {
        keys.push_back("Software\\" + company + "\\" + product);
    }
    std::string registKey = ReadIniValue(c.listIni, SectionName(c, kSecUninstall), "REGISTKEY", MAX_PATH);
    if (CountComponents(registKey) == 1 && registKey.find('\\') == std::string::npos) {
        keys.push_back(std::string(kUninstallRegistryKey) + "\\" + registKey);
    }
    return keys;
}

// The key itself or one below it, compared whole component by component (any case).
bool AtOrBelow(const std::string& key, const std::string& base) {
    if (key.size() < base.size() || _strnicmp(key.c_str(), base.c_str(), base.size()) != 0) return false;
    return key.size() == base.size() || key[base.size()] == '\\';
}

std::vector<RegistryEntry> ReadEntries(const UninstallContext& c) {
    std::vector<RegistryEntry> entries;
    std::vector<std::string> ownKeys = OwnTreeKeys(c);
    for (uint32_t i = 0; c.entries && i < c.entryCount; ++i) {
        if (!c.entries[i].enabled) continue;
        for (const std::string& value : ReadIniList(c.listIni, c.entries[i].sections[kSecApplication], "REG_%03d", MAX_PATH)) {
            RegistryEntry e = ParseRegistryEntry(value);
            if (e.kind == RegistryEntryKind::kTree &&
                std::none_of(ownKeys.begin(), ownKeys.end(), [&](const std::string& own) { return AtOrBelow(e.key, own); })) {
                e.kind = RegistryEntryKind::kRefused;
            }
            if (e.kind == RegistryEntryKind::kRefused) {
                LogPrintf("  Refused : %s", value.c_str());
                continue;
            }
            entries.push_back(e);
        }
    }
    return entries;
}

std::string ProfilesFolder(int osCode) {
    char folder[MAX_PATH] = "";
    DWORD size = sizeof folder;
    if (osCode > 4 && GetProfilesDirectoryA(folder, &size)) return folder;
    // Older systems: the first three components of the Favorites folder.
    char favourites[MAX_PATH] = "";
    DWORD bytes = sizeof favourites - 1;
    qz::RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, key.put()) == ERROR_SUCCESS) {
        RegQueryValueExA(key.get(), "Favorites", nullptr, nullptr, reinterpret_cast<BYTE*>(favourites), &bytes);
    }
    std::string path = favourites;
    size_t cut = 0;
    for (int n = 0; n < 3 && cut != std::string::npos; ++n) cut = path.find('\\', cut + 1);
    return cut == std::string::npos ? path : path.substr(0, cut);
}

void DeleteUserHiveEntries(const UninstallContext& c, const std::vector<RegistryEntry>& entries) {
    LogPrintf("*** Registry Information 2 ***");
    if (c.osCode < 4) return;
    int count = 0;
    qz::LocalBlock block(EnumLocalUsers(&count));
    auto* users = static_cast<LocalUserEntry*>(block.get());
    if (!users || !SetTokenPrivilege(SE_RESTORE_NAME, TRUE)) return;
    std::string profiles = ProfilesFolder(c.osCode);
    for (int i = 0; i < count; ++i) {
        if (_strnicmp(users[i].sid, "S-1-5-21", 8) != 0) continue;
        std::string hive = profiles + "\\" + users[i].name + "\\ntuser.dat";
        LogPrintf("  Userfile: %s ", hive.c_str());
        // The hive of a user who is logged on (this one) does not load and is skipped.
        if (Accounts().LoadHive(users[i].sid, hive.c_str()) != ERROR_SUCCESS) continue;
        for (const RegistryEntry& e : entries) {
            LogPrintf("  Delete : %s\\%s ", e.rootWord.c_str(), e.subKey.c_str());
            if (e.kind == RegistryEntryKind::kControlPanel) continue;
            DeleteShortcutValueFiles(HKEY_USERS, Below(users[i].sid, e.key), e.kind == RegistryEntryKind::kTree);
            DeleteKeyTree(HKEY_USERS, users[i].sid, e);
        }
        Accounts().UnloadHive(users[i].sid);
    }
}

}  // namespace

RegistryEntry ParseRegistryEntry(const std::string& value) {
    RegistryEntry e;
    size_t semi = value.find(';');
    if (semi == std::string::npos) return e;
    e.rootWord = value.substr(0, semi);
    e.subKey = value.substr(semi + 1);
    static const char* const kWords[] = {"HLM", "HCU", "HCR", "HU", "HCC"};
    bool known = false;
    for (const char* word : kWords) known = known || _stricmp(e.rootWord.c_str(), word) == 0;
    if (!known) return e;
    e.root = FindRegistryRoot(e.rootWord.c_str(), e.rootWord.size());
    const std::string& sub = e.subKey;
    if (sub.empty()) return e;
    if (sub[0] == '@') {
        // "@CPL", one separator, then the class id of a control-panel item.
        if (sub.size() < 6 || _strnicmp(sub.c_str(), kControlPanelMark, 4) != 0) return e;
        std::string classId = sub.substr(5);
        if (classId.empty() || classId.find('\\') != std::string::npos) return e;
        e.key = classId;
        e.kind = RegistryEntryKind::kControlPanel;
        return e;
    }
    size_t mark = sub.find(kTreeMark);
    if (mark != std::string::npos && mark + 3 == sub.size()) {
        e.key = TrimBackslashes(sub.substr(0, mark));
        if (CountComponents(e.key) < 2) return e;
        e.kind = RegistryEntryKind::kTree;
        return e;
    }
    e.key = TrimBackslashes(sub);
    if (CountComponents(e.key) < 1) return e;
    e.kind = RegistryEntryKind::kPlainKey;
    return e;
}

void DeleteEntryBelow(HKEY root, const std::string& prefix, const RegistryEntry& e) {
    if (e.kind == RegistryEntryKind::kRefused) return;
    if (e.kind != RegistryEntryKind::kControlPanel) {
        DeleteShortcutValueFiles(root, Below(prefix, e.key), e.kind == RegistryEntryKind::kTree);
    }
    DeleteKeyTree(root, prefix, e);
}

int DeleteRegistryEntries(HWND /*page*/, UninstallContext* c) {
    if (!c->entries) return 0;
    std::vector<RegistryEntry> entries = ReadEntries(*c);
    DeleteUserHiveEntries(*c, entries);
    for (const RegistryEntry& e : entries) DeleteEntryBelow(e.root, std::string(), e);
    return 1;
}
