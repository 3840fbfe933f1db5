// The install steps around the suite's printer port monitor: the busy check, taking the old
// monitor down with its ports saved, setting it up again, the status monitors, the DELETE
// lists of an earlier installation and the old monitor product's entry.
#pragma once

#include "setup_context.h"

int CheckPortMonitor(HWND page, SetupContext* context);
int GetPortMonitorInfo(HWND page, SetupContext* context);
int SetPortMonitorInfo(HWND page, SetupContext* context);
void CloseStatusMonitors(HWND page, SetupContext* context);
void DeleteFiles(HWND page, SetupContext* context);
// 1 when the old product is installed: the application then counts as installed and its
// working list lies beside the old product. Its Uninstall key is only noted here.
int RemoveOldMonitor(HWND page, SetupContext* context, ApplicationRecord* record, const char* listName);
// Deletes the old product's Uninstall keys noted by RemoveOldMonitor (after a good run).
void DeleteOldMonitorEntries(HWND page, SetupContext* context);
