#include "run_once.h"

#include "application_records.h"
#include "ini_text.h"
#include "local_users.h"
#include "registry_value.h"
#include "run_after.h"
#include "script_text.h"
#include "setup_log.h"

#include <cstring>

namespace {

constexpr uint16_t kOsWithUserHives = 4;
constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kProfileList[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr char kDomainSidPrefix[] = "S-1-5-21";
constexpr int kMaxRunOnceKeys = 100;

bool Pending(const ApplicationRecord& r) { return r.checked == 1 && !r.alreadyInstalled; }

bool AnyRunOnce(const SetupContext& c) {
    for (uint32_t i = 0; i < c.applicationCount; ++i) {
        const ApplicationRecord& r = c.applications[i];
        if (Pending(r) && !ReadIniValue(c.copyFileIni, r.sections[kSecInfo], "RUNONCE_00").empty()) return true;
    }
    return false;
}

LONG WriteRunOnce(HKEY root, const std::string& subKey, const std::string& name, const std::string& text) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return result;
    result = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return result;
}

void WriteEntry(const SetupContext& c, const ApplicationRecord& r, const std::vector<std::string>& f, HKEY hive,
                const char* userKey) {
    const std::string& scope = f[0];
    const std::string& root = f[1];
    bool other = _stricmp(scope.c_str(), "OTHER") == 0;
    bool machineRoot = _stricmp(root.c_str(), "HLM") == 0;
    if (hive ? (!other || machineRoot) : other) return;
    char folder[MAX_PATH] = "";
    if (f[3].empty() || !GetInstalledFilePath(f[3].c_str(), r.name, r.osWord, r.installFolder, c.copyFileIni, folder,
                                              kInstalledForm)) {
        return;
    }
    std::string program = JoinFolder(folder, f[3]);
    std::string text = RunOnceText(program.c_str(), f[4].c_str());
    const std::string& name = f[2];
    if (machineRoot) {
        LONG result = WriteRunOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, name, text);
        LogPrintf("  HKEY_LOCAL_MACHINE\\%s, %s = %s Result = %ld", kRunOnceKey, name.c_str(), text.c_str(), result);
    } else if (_stricmp(root.c_str(), "HCU") == 0 && other && hive) {
        std::string subKey = std::string(userKey) + "\\" + kRunOnceKey;
        LONG result = WriteRunOnce(HKEY_USERS, subKey, name, text);
        LogPrintf("  HKEY_USERS\\%s, %s = %s Result = %ld", subKey.c_str(), name.c_str(), text.c_str(), result);
    } else if (_stricmp(root.c_str(), "HCU") == 0 && _stricmp(scope.c_str(), "ONESELF") == 0) {
        LONG result = WriteRunOnce(HKEY_CURRENT_USER, kRunOnceKey, name, text);
        LogPrintf("  HKEY_CURRENT_USER\\%s, %s = %s Result = %ld", kRunOnceKey, name.c_str(), text.c_str(), result);
    }
}

std::string ProfilesFolder() {
    char raw[MAX_PATH] = "";
    DWORD bytes = sizeof raw - 1;
    DWORD type = 0;
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, kProfileList, "ProfilesDirectory", raw, &bytes, &type)) return {};
    raw[sizeof raw - 1] = '\0';
    char expanded[MAX_PATH] = "";
    if (!ExpandEnvironmentStringsA(raw, expanded, sizeof expanded)) return {};
    return expanded;
}

}  // namespace

void SetRunOnceEntries(HWND, SetupContext* c, HKEY hive, const char* userKey) {
    for (uint32_t i = 0; i < c->applicationCount; ++i) {
        const ApplicationRecord& r = c->applications[i];
        if (!Pending(r)) continue;
        for (int n = 0; n < kMaxRunOnceKeys; ++n) {
            std::string value = ReadIniValue(c->copyFileIni, r.sections[kSecInfo], IniListKey("RUNONCE_%02d", n));
            if (value.empty()) break;
            std::vector<std::string> f = SplitFields(value);
            if (f.size() < 2) continue;
            f.resize(5);
            WriteEntry(*c, r, f, hive, userKey);
        }
    }
}

void SetUsersRegistry(HWND page, SetupContext* c) {
    if (c->osCode < kOsWithUserHives || !AnyRunOnce(*c)) return;
    LogPrintf("*** Registry Information ***");
    int count = 0;
    LocalUserEntry* users = EnumLocalUsers(&count);
    if (!SetTokenPrivilege("SeRestorePrivilege", TRUE)) {
        if (users) LocalFree(users);
        return;
    }
    char self[260] = "";
    DWORD selfSize = sizeof self;
    GetUserNameA(self, &selfSize);
    std::string profiles = ProfilesFolder();
    for (int i = 0; users && i < count; ++i) {
        const LocalUserEntry& u = users[i];
        if (_stricmp(u.name, self) == 0 || strncmp(u.sid, kDomainSidPrefix, strlen(kDomainSidPrefix)) != 0) continue;
        std::string hiveFile = profiles + "\\" + u.name + "\\ntuser.dat";
        if (Accounts().LoadHive(u.sid, hiveFile.c_str()) != ERROR_SUCCESS) continue;
        SetRunOnceEntries(page, c, HKEY_USERS, u.sid);
        Accounts().UnloadHive(u.sid);
    }
    if (users) LocalFree(users);
    SetRunOnceEntries(page, c, nullptr, nullptr);
}
