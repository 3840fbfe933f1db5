// The second check stage: an older product of the maker is removed by running this setup's
// uninstaller in place of its own before the install goes on.
#pragma once

#include "setup_context.h"

#include <string>

constexpr char kOldProductKey[] = "Quelbo Utility";

// The program path of an UninstallString: the text inside leading quotes, else the text up to
// the first ".exe" that ends a word, else the whole trimmed text.
std::string UninstallProgramPath(const std::string& uninstallString);
void RunOldUninstaller(HWND frame, SetupContext* context);
