// The setup program's one global record, its constants and the application records.
#pragma once

#include <windows.h>

#include "exit_codes.h"

#include <cstdint>

struct MonitorRecord;
struct ComponentSet;

constexpr uint16_t kModeSilent = 0x1;
constexpr uint16_t kModeNoArpEntry = 0x2;
constexpr uint16_t kModeDeleteSetupFolder = 0x4;

constexpr uint16_t kLanguageFixed = 0;
constexpr uint16_t kLanguageAutomatic = 1;
constexpr uint16_t kLanguageManual = 2;
constexpr uint16_t kLanguageRegional = 3;

// Page switches, in the order of the pages they govern.
enum PageSwitch { kSwitchWelcome, kSwitchLicense, kSwitchApplication, kSwitchFolder, kSwitchStartMenu,
                  kSwitchCheck, kPageSwitchCount };

// Section names formed from the application name.
enum AppSection { kSecMonitor, kSecName, kSecUninstLog, kSecComponent, kSecInfo, kSecFilePrefix, kSecIcf,
                  kAppSectionCount };
// Sections of the uninstall file list.
enum ListSection { kListFile, kListShared, kListPath, kListUninstall, kListApplication, kListMonitor,
                   kListComponent, kListInfo, kListSectionCount };
// Paths of the uninstall records.
enum UninstallPath { kUninstallerFolder, kSparePath, kListFinalPath, kListWorkPath, kUninstallerIniPath,
                     kUninstallPathCount };

struct ApplicationRecord {
    char name[64];
    char sharedWith[64];
    char osWord[16];
    char displayName[128];
    char memo[512];
    uint32_t checked;
    char iconPath[MAX_PATH];
    uint32_t alreadyInstalled;
    char installFolder[MAX_PATH];
    char subFolder[MAX_PATH];
    // Folders chosen by the Folder and Start-menu pages.
    char menuFolder[MAX_PATH];        // the group below the common programs folder
    char userMenuFolder[MAX_PATH];    // the same group below the user's programs
    char startupFolder[MAX_PATH];
    char desktopFolder[MAX_PATH];
    char userStartupFolder[MAX_PATH];
    char runAfterwards[MAX_PATH];
    char sections[kAppSectionCount][32];
    char uninstallPaths[kUninstallPathCount][MAX_PATH];
    char listSections[kListSectionCount][32];
    char oldProductKey[MAX_PATH];  // the old monitor product's Uninstall key, removed after a good run
    MonitorRecord* monitor;
    ComponentSet* components;
};

struct SetupContext {
    uint16_t osCode;
    uint32_t osFlags;
    uint16_t languageMode;
    char language[64];
    char workFolder[MAX_PATH];
    uint32_t uac;
    char languageIni[MAX_PATH];
    char messageIni[MAX_PATH];
    char copyFileIni[MAX_PATH];
    char licensePath[MAX_PATH];
    HINSTANCE instance;
    HWND frame;
    char hostAddress[32];
    char serverAddress[13];
    uint32_t background;
    uint32_t languagePage;
    uint32_t pages[kPageSwitchCount];
    uint32_t connect;
    uint32_t welcomeNoChoice;
    uint32_t nextPage;
    HWND* pageWindows;
    uint32_t reboot;
    ApplicationRecord* applications;
    uint32_t applicationCount;
    uint16_t modeBits;
    // Set when -E gave an address (the printer-list page then follows its value).
    uint32_t serverAddressGiven;
    // The Start-menu group chosen by the user (the UserMenu value).
    char menuGroup[MAX_PATH];
    // Wizard state beyond the first-pass fields.
    uint32_t finishPage;
    uint32_t restartPage;
    uint32_t printerPage;
    uint32_t currentPage;
    // The installation folder chosen on the Folder page (each record adds its own sub-folder).
    char chosenFolder[MAX_PATH];
    // The printer port the installation created for the device server, empty when none.
    char createdPortName[MAX_PATH];
    // The first failure of the run (exit_codes.h), 0 while none.
    uint32_t failure;
};

extern SetupContext g_setup;
extern char g_className[MAX_PATH];
extern HWND g_mainWindow;
extern int g_mutexResult;

inline bool IsSilent(const SetupContext& c) { return (c.modeBits & kModeSilent) != 0; }
