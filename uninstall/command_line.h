// The uninstaller's command line, the name of its INI, and the switches passed to its second
// stage. No window and no file is touched here.
#pragma once

#include "uninstall_context.h"

#include <string>
#include <vector>

// The arguments after the program name, split at blanks; a quoted argument keeps its blanks.
std::vector<std::string> SplitCommandLine(const char* arguments);
// Applies -r -d -u -s -t -g (first two characters, any case); unknown tokens are ignored.
void ApplySwitches(UninstallContext* context, const std::vector<std::string>& tokens);
// The program's INI beside it: the file name without extension, less two trailing characters
// when both are not above '9', with ".ini".
std::string UninstallerIniPath(const std::string& programPath);
// " -d" with "log", "out" and "qa" as the log switches are set; nothing when logging is off.
void AppendLogSwitches(char* arguments, size_t capacity);
// "-u" (or "-u -r"), " -s" when silent, " -t" with -t, then the log switches.
std::string StageTwoArguments(const UninstallContext& context);
// The program path of a command line: the first argument, quoted or not.
std::string ProgramOfCommandLine(const char* commandLine);
