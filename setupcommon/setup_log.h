// The step log "Setup.txt" and the file log "Filelog.txt" of the install and removal tools,
// and the debug switch that turns them on.
#pragma once

#include <windows.h>

#include <cstdint>

// Process-wide log switches; 0 means logging is off.
constexpr uint16_t kLogStepFile = 0x0001;
constexpr uint16_t kLogDebugger = 0x0010;
constexpr uint16_t kLogFileOps = 0x0100;
extern uint16_t LogFlags;

// "-d..."/"-D..." tokens: "out" sets the debugger only, "log" adds the step log, "qa" the file log.
void ParseDebugOption(const char* token);
// The LOG setting: "file path[;HIDE]".
void SetLogFile(const char* value);

int LogPrintf(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
int FileLogPrintf(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
int WriteSetupLog(const char* text);
int WriteFileLog(const char* text);
void CreateLogFolders(const char* path);
// When logging: the program's banner (headline, e.g. "   Installer Version ", and version
// between two rules) and "*** OS Information ***" with the OS, the folders and the command line.
void LogProgramStart(const char* headline, const char* version, const char* workFolder, const char* commandLine);

// The paths in use (after SetLogFile or the first write).
const char* StepLogPath();
const char* FileLogPath();
// Back to the start-up state: flags 0, no paths, normal folder attribute. For tests.
void ResetLogSettings();
