// The library log: the on-screen list box of a window, the log files (one main file, one per
// server) and the debugger output. Safe to call from any thread, with or without the library
// lock held: it keeps its own small lock and never takes the library lock.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>  // the printf flavour that vsnprintf implements

#pragma pack(push, 1)
// What the log writes and where. Mirrors the flags word and folder of the debug-mode record.
struct LogSettings {
    uint16_t flags;    // kLogToFile | kLogToDebugger; 0 = logging off
    char folder[261];  // folder of the log files; empty = the root of the Windows drive
};
#pragma pack(pop)
static_assert(sizeof(LogSettings) == 263);
static_assert(offsetof(LogSettings, folder) == 2);

constexpr uint16_t kLogToFile = 0x1;
constexpr uint16_t kLogToDebugger = 0x4;

// Characters of one formatted log text (before time stamp and line end).
constexpr size_t kLogTextCapacity = 5120;

constexpr const char* kMainLogFileName = "Pnxsclog.txt";

// Stores the service window and the settings; with kLogToFile creates the log folder.
// 0 for a null record, else 1.
int LogSetup(HWND serviceWindow, const LogSettings* settings);

// Logs one line for a window: the service window's lines go to the main log file, a server
// window's to its server's file. 0 when logging is off or the server chain is broken, else 1.
int LogLine(HWND window, const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));

// Back to logging off with no window and no folder (library unload, tests).
void LogReset();

// The window whose lines go to the main log file.
HWND LogServiceWindow();

// The current log flags (0 = logging off); lets callers skip building long texts.
uint16_t LogFlags();
