// The uninstaller's one global record, its section entry and the switches of its command line.
#pragma once

#include <windows.h>

#include "exit_codes.h"
#include "ini_text.h"

#include <cstdint>
#include <string>
#include <vector>

struct MonitorRecord;
struct ComponentSet;

// Sections of the uninstall file list, addressed through the section entry.
enum UninstallSection {
    kSecMonitor,
    kSecFile,
    kSecUninstall,
    kSecComponent,
    kSecApplication,
    kSecShortcut,
    kSecIcf,
    kSecPath,
    kSecInfo,
    kUninstallSectionCount
};

struct UninstallSectionEntry {
    char name[64];
    uint32_t enabled;
    char sections[kUninstallSectionCount][16];
    MonitorRecord* monitor;     // made by the port-monitor check, owned
    ComponentSet* components;   // made by the component step, owned
};

constexpr uint16_t kUiSilent = 0x1;
constexpr uint16_t kUiShowWindow = 0x2;
constexpr uint16_t kUiNoRestart = 0x4;

struct UninstallContext {
    uint16_t osCode;
    uint32_t osFlags;
    char baseFolder[MAX_PATH];
    char uninstallerIni[MAX_PATH];
    uint32_t cancelled;  // 1: declined or failed; no second stage
    char listIni[MAX_PATH];
    HINSTANCE instance;
    uint32_t background;  // always 0: no painted background
    uint32_t currentPage;
    HWND* pageWindows;
    uint32_t reboot;
    UninstallSectionEntry* entries;
    uint32_t entryCount;
    uint16_t uiFlags;
    // Beyond the first-pass fields.
    uint32_t stageTwo;
    uint32_t nextPage;
    uint32_t restartPage;
    HWND mainWindow;
    HWND frame;
    char className[128];
    char programPath[MAX_PATH];
    char language[128];  // the language folder below the install location, empty for none
    char stageTwoFolder[MAX_PATH];  // the prepared folder of the second stage, empty for none
    uint32_t failure;               // the first failure of the run (exit_codes.h), 0 while none
};

extern UninstallContext g_uninstall;

inline bool IsSilent(const UninstallContext& c) { return (c.uiFlags & kUiSilent) != 0; }
// The window is shown when not silent, or when -g asked for it.
inline bool ShowsWindow(const UninstallContext& c) { return !IsSilent(c) || (c.uiFlags & kUiShowWindow) != 0; }

// Fills the one section entry with its fixed names; 0 when it cannot be allocated.
int CreateSectionEntry(UninstallContext* context);
void FreeSectionEntry(UninstallContext* context);
const char* SectionName(const UninstallContext& context, UninstallSection section);

// The uninstaller INI's [ERROR] box (caption TITLE, exclamation), logged "[MessageBox] : key";
// silent runs log it only.
void ShowUninstallError(HWND owner, const UninstallContext& context, const char* key, FormatArg argument = {});

constexpr char kUninstallRegistryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// folder and name joined by one backslash.
std::string JoinPath(const std::string& folder, const std::string& name);
// Every value of a numbered list of the INI, from number 0 to the first empty key.
std::vector<std::string> ReadIniList(const char* iniPath, const char* section, const char* keyFormat,
                                     size_t maxChars = 1023);
