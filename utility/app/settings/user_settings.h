// The user's options under HKCU "Software\Orvik\Quelbo Plus\Option", with the machine
// defaults of HKLM "Software\Orvik\Quelbo Plus" and the values of an older installation.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr const wchar_t* kProductKey = L"Software\\Orvik\\Quelbo Plus";
constexpr const wchar_t* kOptionKey = L"Software\\Orvik\\Quelbo Plus\\Option";
constexpr const wchar_t* kLibraryKey = L"Software\\Orvik\\Quelbo Plus\\Pnxscapi";

// The search interval the options dialog allows, in seconds.
constexpr uint32_t kStatusTimerMinSeconds = 3;
constexpr uint32_t kStatusTimerMaxSeconds = 60;

#pragma pack(push, 1)
struct ListColumnRow {
    uint32_t columnId;
    uint32_t shown;
    uint32_t width;
    int32_t order;  // display order; -1 when hidden
};
#pragma pack(pop)
static_assert(sizeof(ListColumnRow) == 16);

constexpr int kListColumns = 8;
constexpr DWORD kColumnTableBytes = kListColumns * sizeof(ListColumnRow);
static_assert(kColumnTableBytes == 128);

struct UserSettings {
    uint8_t startup = 1;
    uint8_t miniMode = 1;
    uint8_t errorNotice = 1;
    uint8_t permitMessage = 1;
    uint32_t statusTimer = 10000;
    uint8_t autoStart = 0;
    uint8_t reserved = 0;
    uint8_t broadcast = 0;
    POINT point{};
    SIZE mainSize{};
    uint8_t mainView = 0;
    ListColumnRow columns[kListColumns]{};
    uint32_t sortOrder = 1;
    uint32_t sortItem = 0;
};

extern UserSettings g_settings;

// Defaults of every field; point centres a window of the given size on the desktop.
void InitUserSettings(UserSettings* settings, SIZE windowSize);
void DefaultColumnTable(ListColumnRow* rows);
// True when the stored table, sort column and order can be used as indexes: ids 0-7 in
// table order, columns 0-2 shown with orders 0-2, the shown rows' orders a permutation of
// 0..n-1 and the hidden rows' -1, the sort column among the shown ones, order 1 or 2.
bool ColumnSettingsValid(const ListColumnRow* rows, uint32_t sortItem, uint32_t sortOrder);
// The timer in the dialog's range (3 to 60 seconds), in milliseconds.
uint32_t ClampStatusTimer(uint32_t milliseconds);

// STARTUP, MINI, OFFMESSAGE and TIMER of an older installation's key ("ROOT\path").
BOOL LoadInstallDefaults(const wchar_t* keyPath, UserSettings* settings);
BOOL LoadUserSettings(UserSettings* settings);
void SaveUserOptions(const UserSettings* settings);
void SaveWindowState(const UserSettings* settings);
// "StartupTimer" of the machine key; missing or 0 gives 15.
uint32_t StartupTimerSeconds();
void WriteShortcutPath(const wchar_t* iniPath);
// Re-creates the Startup shortcut with "-s<seconds>" when it has no arguments.
BOOL UpdateStartupShortcut(const UserSettings* settings, const wchar_t* iniPath);
// Creates (startup on) or deletes (off) the Startup shortcut; an existing one is kept.
void ApplyStartupShortcut(const UserSettings* settings, const wchar_t* iniPath);

// REG_BINARY 1-byte options "Old" and "OldAutoPrinter" and the REG_SZ "Theme".
bool ReadOptionFlag(const wchar_t* name);
void WriteOptionFlag(const wchar_t* name, uint8_t value);
