// What the watchers keep for the rest of the library.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "automation_platform.h"

// Posted by the process watcher after each look: the service window shows the processes.
constexpr UINT PNXM_PROCESS_ROWS = 0x819A;

// Running processes whose path is `path` (ignoring case), as the last look found them.
size_t CountProcessesLocked(const std::string& path);
void SetProcessesForTests(std::vector<RunningProcess> processes);

// Fills the service window's process list from the last look (service window thread).
void ShowProcessRows(HWND service);

// Posted by the printer watcher after each look: the service window's thread brings its
// printer list (list 1004) up to date and reports each printer that came or went.
constexpr UINT PNXM_PRINTER_ROWS = 0x819B;
void ShowPrinterRows(HWND service);
