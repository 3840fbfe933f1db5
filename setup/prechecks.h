// The checks before the wizard starts: the first stage before the application records are
// read (Windows, framework, rights, sessions, running programs, versions, installed state),
// the second after (an old product removed by our uninstaller).
#pragma once

#include "setup_context.h"

#include <string>
#include <vector>

// 1 go on, 0 stop.
int CheckApplication(HWND frame, SetupContext* context);
int CheckApplication2(HWND frame, SetupContext* context);

struct FrameworkVersion {
    int major;
    int minor;
    int build;
    bool installed;
};
// "major.minor.build"; missing parts are 0.
FrameworkVersion ParseFrameworkVersion(const std::string& text);
// Some installed release at least the required one in each of its three parts.
bool FrameworkSatisfied(const std::vector<FrameworkVersion>& installed, const FrameworkVersion& need);

// The Uninstall key of an application (by its whole APP_nn value) below HKEY_LOCAL_MACHINE, or
// its UNINSTALLPATH with -p; empty when it has none.
std::string ProductUninstallKey(const SetupContext* context, const std::string& app);
// "DisplayVersion" of the key, or "a.b.c" of its packed "Version" when that exists too.
std::string InstalledProductVersion(const std::string& key);

// The checks' message boxes (none in silent mode: OK, respectively No, is the answer).
int PrecheckMessage(HWND frame, const SetupContext* context, const char* key, const char* argument, UINT extraFlags);
int PrecheckQuestion(HWND frame, const SetupContext* context, const char* key, const char* argument, UINT icon);
