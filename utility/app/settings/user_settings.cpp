#include "user_settings.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "ini_text.h"
#include "registry_util.h"
#include "shortcut.h"
#include "system_util.h"

UserSettings g_settings;

namespace {

const ListColumnRow kDefaultColumns[kListColumns] = {
    {0, 1, 90, 0},   {1, 1, 90, 1},   {2, 1, 101, 2},  {3, 1, 120, 3},
    {4, 0, 120, -1}, {5, 0, 130, -1}, {6, 1, 120, 4},  {7, 0, 110, -1},
};

void ReadOrCreate(const wchar_t* name, void* field, DWORD bytes, DWORD type) {
    ReadOrCreateRegistryValue(HKEY_CURRENT_USER, kOptionKey, name, field, &bytes, type);
}

// The user's value; when absent the machine's (if any), written to the user key.
void ReadWithMachineDefault(const wchar_t* name, uint8_t* field) {
    uint8_t value = *field;
    DWORD bytes = 1;
    DWORD type = 0;
    if (ReadRegistryValue(HKEY_CURRENT_USER, kOptionKey, name, &value, &bytes, &type)) {
        *field = value;
        return;
    }
    uint8_t machine = 0;
    bytes = 1;
    if (ReadRegistryValue(HKEY_LOCAL_MACHINE, kProductKey, name, &machine, &bytes, &type)) *field = machine;
    WriteRegistryValue(HKEY_CURRENT_USER, kOptionKey, name, field, 1, REG_BINARY);
}

void WriteBinary(const wchar_t* name, const void* data, DWORD bytes) {
    WriteRegistryValue(HKEY_CURRENT_USER, kOptionKey, name, data, bytes, REG_BINARY);
}

void WriteDword(const wchar_t* name, uint32_t value) {
    WriteRegistryValue(HKEY_CURRENT_USER, kOptionKey, name, &value, sizeof value, REG_DWORD);
}

std::wstring ShortcutArguments() {
    wchar_t arguments[32];
    std::swprintf(arguments, 32, L"-s%u", StartupTimerSeconds());
    return arguments;
}

}  // namespace

void DefaultColumnTable(ListColumnRow* rows) {
    std::memcpy(rows, kDefaultColumns, sizeof kDefaultColumns);
}

void InitUserSettings(UserSettings* settings, SIZE windowSize) {
    *settings = UserSettings{};
    settings->point.x = (GetSystemMetrics(SM_CXSCREEN) - windowSize.cx) / 2;
    settings->point.y = (GetSystemMetrics(SM_CYSCREEN) - windowSize.cy) / 2;
    DefaultColumnTable(settings->columns);
}

bool ColumnSettingsValid(const ListColumnRow* rows, uint32_t sortItem, uint32_t sortOrder) {
    if (sortOrder != 1 && sortOrder != 2) return false;
    uint32_t shown = 0;
    bool orderSeen[kListColumns] = {};
    for (int i = 0; i < kListColumns; ++i) {
        const ListColumnRow& row = rows[i];
        if (row.columnId != static_cast<uint32_t>(i) || row.shown > 1) return false;
        if (i < 3 && (!row.shown || row.order != i)) return false;
        if (!row.shown) {
            if (row.order != -1) return false;
            continue;
        }
        if (row.order < 0 || row.order >= kListColumns || orderSeen[row.order]) return false;
        orderSeen[row.order] = true;
        ++shown;
    }
    for (uint32_t i = 0; i < shown; ++i) {
        if (!orderSeen[i]) return false;  // the orders of the shown rows are 0..n-1
    }
    return sortItem < shown;
}

uint32_t ClampStatusTimer(uint32_t milliseconds) {
    if (milliseconds < kStatusTimerMinSeconds * 1000) return kStatusTimerMinSeconds * 1000;
    if (milliseconds > kStatusTimerMaxSeconds * 1000) return kStatusTimerMaxSeconds * 1000;
    return milliseconds;
}

BOOL LoadInstallDefaults(const wchar_t* keyPath, UserSettings* settings) {
    if (!keyPath || !settings) return FALSE;
    wchar_t subKey[MAX_PATH] = {};
    HKEY root = SplitRegistryPath(keyPath, subKey, MAX_PATH);
    if (!root) return FALSE;
    uint8_t byte = 0;
    DWORD bytes = 1, type = 0;
    if (ReadRegistryValue(root, subKey, L"STARTUP", &byte, &bytes, &type)) settings->startup = byte;
    bytes = 1;
    if (ReadRegistryValue(root, subKey, L"MINI", &byte, &bytes, &type)) settings->miniMode = byte;
    bytes = 1;
    if (ReadRegistryValue(root, subKey, L"OFFMESSAGE", &byte, &bytes, &type)) settings->permitMessage = !byte;
    uint32_t timer = 0;
    bytes = sizeof timer;
    if (ReadRegistryValue(root, subKey, L"TIMER", &timer, &bytes, &type)) settings->statusTimer = timer;
    return TRUE;
}

BOOL LoadUserSettings(UserSettings* settings) {
    if (!settings) return FALSE;
    ReadOrCreate(L"Startup", &settings->startup, 1, REG_BINARY);
    ReadOrCreate(L"MiniMode", &settings->miniMode, 1, REG_BINARY);
    ReadOrCreate(L"ErrorNotice", &settings->errorNotice, 1, REG_BINARY);
    ReadOrCreate(L"PermitMessage", &settings->permitMessage, 1, REG_BINARY);
    ReadOrCreate(L"StatusTimer", &settings->statusTimer, sizeof settings->statusTimer, REG_DWORD);
    ReadWithMachineDefault(L"AutoStart", &settings->autoStart);
    ReadOrCreate(L"Broadcast", &settings->broadcast, 1, REG_BINARY);
    ReadOrCreate(L"ListCulum", settings->columns, kColumnTableBytes, REG_BINARY);
    ReadOrCreate(L"SortOrder", &settings->sortOrder, sizeof settings->sortOrder, REG_DWORD);
    ReadOrCreate(L"SortItem", &settings->sortItem, sizeof settings->sortItem, REG_DWORD);
    ReadOrCreate(L"Point", &settings->point, sizeof settings->point, REG_BINARY);
    ReadOrCreate(L"MainSize", &settings->mainSize, sizeof settings->mainSize, REG_BINARY);
    ReadWithMachineDefault(L"MainView", &settings->mainView);
    // Stored values that are later used as indexes: fall back to the defaults.
    if (!ColumnSettingsValid(settings->columns, settings->sortItem, settings->sortOrder)) {
        DefaultColumnTable(settings->columns);
        settings->sortItem = 0;
        settings->sortOrder = 1;
    }
    if (settings->mainView > 1) settings->mainView = 0;
    return TRUE;
}

void SaveUserOptions(const UserSettings* settings) {
    WriteBinary(L"Startup", &settings->startup, 1);
    WriteBinary(L"MiniMode", &settings->miniMode, 1);
    WriteBinary(L"ErrorNotice", &settings->errorNotice, 1);
    WriteBinary(L"PermitMessage", &settings->permitMessage, 1);
    WriteDword(L"StatusTimer", settings->statusTimer);
    WriteBinary(L"AutoStart", &settings->autoStart, 1);
    WriteBinary(L"Broadcast", &settings->broadcast, 1);
}

void SaveWindowState(const UserSettings* settings) {
    WriteBinary(L"ListCulum", settings->columns, kColumnTableBytes);
    WriteDword(L"SortOrder", settings->sortOrder);
    WriteDword(L"SortItem", settings->sortItem);
    WriteBinary(L"Point", &settings->point, sizeof settings->point);
    WriteBinary(L"MainSize", &settings->mainSize, sizeof settings->mainSize);
    WriteBinary(L"MainView", &settings->mainView, 1);
}

uint32_t StartupTimerSeconds() {
    uint32_t seconds = 0;
    DWORD bytes = sizeof seconds, type = 0;
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, kProductKey, L"StartupTimer", &seconds, &bytes, &type) ||
        seconds == 0) {
        seconds = 15;
    }
    return seconds;
}

void WriteShortcutPath(const wchar_t* iniPath) {
    std::wstring title = ReadIniValue(iniPath, L"TITLE", L"MAIN", 127);
    if (title.empty()) return;
    wchar_t folder[MAX_PATH] = {};
    if (!GetSpecialFolderPath(CSIDL_STARTUP, folder)) return;
    std::wstring path = std::wstring(folder) + L"\\" + title + L".lnk";
    WriteRegistryValue(HKEY_CURRENT_USER, kOptionKey, L"Shortcut", path.c_str(),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)), REG_SZ);
}

BOOL UpdateStartupShortcut(const UserSettings* settings, const wchar_t* iniPath) {
    std::wstring title = ReadIniValue(iniPath, L"TITLE", L"MAIN", 127);
    if (title.empty()) return FALSE;
    if (!settings->startup) return TRUE;
    wchar_t arguments[MAX_PATH] = {};
    ReadStartupShortcut(title.c_str(), nullptr, nullptr, arguments);
    if (!arguments[0]) {
        DeleteShortcut(title.c_str());
        EnsureStartupShortcut(title.c_str(), title.c_str(), ShortcutArguments().c_str());
    }
    WriteShortcutPath(iniPath);
    return TRUE;
}

void ApplyStartupShortcut(const UserSettings* settings, const wchar_t* iniPath) {
    std::wstring title = ReadIniValue(iniPath, L"TITLE", L"MAIN", 127);
    if (title.empty()) return;
    if (settings->startup) {
        EnsureStartupShortcut(title.c_str(), title.c_str(), ShortcutArguments().c_str());
    } else {
        DeleteShortcut(title.c_str());
    }
}

bool ReadOptionFlag(const wchar_t* name) {
    uint8_t value = 0;
    DWORD bytes = 1, type = 0;
    return ReadRegistryValue(HKEY_CURRENT_USER, kOptionKey, name, &value, &bytes, &type) && value != 0;
}

void WriteOptionFlag(const wchar_t* name, uint8_t value) {
    WriteBinary(name, &value, 1);
}
