// The utility's log "Tessoralog.txt" (UTF-16LE with a byte-order mark) and the -d switch.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr uint16_t kLogToFile = 0x1;
constexpr uint16_t kLogToDebugger = 0x4;

struct LogOptions {
    uint16_t flags = 0;
    wchar_t folder[261] = {};
};

// "-d" (either case) followed by "out" and/or "log" (case-sensitive). With "log" the folder is
// the root of the Windows directory's drive. FALSE for anything else.
BOOL ParseDebugSwitch(const char* argument, LogOptions* options);
// Stores the options and, when logging to a file, creates every level of its folder.
BOOL SetLogOptions(const LogOptions* options);
// Formats (at most 1023 characters) and writes one line; FALSE when logging is off.
BOOL WriteLog(const wchar_t* format, ...);
// Appends "yyyy/mm/dd hh:mm:ss  text" CR LF to the log folder's file (default name when
// fileName is null or empty); a new file starts with FF FE.
BOOL AppendLogLine(const wchar_t* text, const wchar_t* fileName);
