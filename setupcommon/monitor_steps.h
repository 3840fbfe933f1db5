// The steps around the suite's printer port monitor and its status-monitor programs: the busy
// check, saving and removing ports and monitor, adding them back, and the status monitors.
#pragma once

#include <windows.h>

#include "port_records.h"

#include <functional>
#include <string>

// Reads the application's "<application>_MONITOR" section of CopyFile.ini into monitor; 1 when
// the monitor may be replaced (or there is none: monitor->name stays empty), 0 when busy.
int PrepareMonitorUpdate(HWND window, MonitorRecord* monitor, const char* application, const char* copyFileIni);
// The same for a monitor described by the given section (the uninstall list's [MONITOR]).
int PrepareMonitorSection(HWND window, MonitorRecord* monitor, const char* application, const char* section,
                          const char* copyFileIni);
int IsMonitorInstalled(const char* name);
int MonitorPortExists(const char* monitor, const char* port);
int IsMonitorIdle(int osCode, const MonitorRecord* monitor);
int RemovePortMonitor(HWND window, NewPortRequest* context, MonitorRecord* monitor);
int DeletePortMonitor(HWND window, NewPortRequest* context, MonitorRecord* monitor);
int InstallPortMonitor(HWND window, NewPortRequest* context, MonitorRecord* monitor, const char* installPath);
int AddPortMonitor(HWND window, NewPortRequest* context, MonitorRecord* monitor);
void FreeMonitorList(MonitorRecord* monitor);

// Asks each running status monitor of [section] "MONITOR_nn" to close and waits for its window
// (at least 3 s, at most kStatusMonitorWaitMs; 3 s for one that does not take the message).
void StopStatusMonitors(HWND window, const char* section, const char* iniPath);
// Registers and starts each status monitor that the application installed; installedFolder
// gives the folder a program file went to (empty: not installed).
using InstalledFolderLookup = std::function<std::string(const char* fileName)>;
void StartStatusMonitors(HWND window, const InstalledFolderLookup& installedFolder, const char* section,
                         const char* copyFileIni, const char* uninstallSection, const char* uninstallIni);
// 2 with "MESSAGE_08" and "RW-Print" when an application replaces an old monitor of another
// product; else 0.
int CheckOldPrintMonitor(char* messageKey, size_t keySize, char* name, size_t nameSize, const char* copyFileIni);
int IsOldMonitorProduct(const char* name);

constexpr DWORD kStatusMonitorWaitMs = 30000;
// How long a status monitor's window may take to accept the message that asks it to close.
constexpr DWORD kStatusMonitorAnswerMs = 5000;
