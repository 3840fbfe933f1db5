// The records the uninstaller works from: the uninstall file list, the one key of the
// uninstaller's INI that the setup writes, and the system's Uninstall registry entry.
#pragma once

#include "setup_context.h"

#include <string>

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// UNINSTALLSTRING split into the program name (up to the first "." and three characters
// after it) and the argument part; "\Uninst.exe" for an empty text.
void SplitUninstallString(const std::string& text, std::string& program, std::string& arguments);
// ((a << 8) + b) << 16 + c.
DWORD PackVersion(int a, int b, int c);
// The No-values of [<app>_UNINSTLOG] MODE: bit 0 NoRemove, bit 1 NoRepair, bit 2 NoModify.
unsigned NoValuesForMode(const char* mode);
// The registry key of the application's entry below HKEY_LOCAL_MACHINE; empty with -p and no
// UNINSTALLPATH (or no REGISTKEY).
std::string UninstallEntryKey(const SetupContext* context, const ApplicationRecord* record);

void CreateUninstallInfo(HWND page, SetupContext* context);
// Each checked application's Uninstall entry and records, then the script's RunOnce values
// (SetUsersRegistry); 0 at the first entry value that cannot be written (nothing after it).
int SetRegistryKey(HWND page, SetupContext* context);
int SetUninstallRegistry(HWND page, SetupContext* context, ApplicationRecord* record);
void RecordSharedKey(HWND page, SetupContext* context, ApplicationRecord* record, int number);
void RecordApplicationInfo(HWND page, SetupContext* context, ApplicationRecord* record);
int RecordMonitorInfo(HWND page, SetupContext* context, ApplicationRecord* record);
// Puts each working list in its final place; 0 when a copy failed (that working list stays).
int FinishLogFiles(HWND page, SetupContext* context);
void CopyUninstLogName(HWND page, SetupContext* context);
