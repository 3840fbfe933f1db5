// Shortcuts of the installed programs (shell links) and internet shortcuts, in the Start menu,
// Startup and Desktop folders, each recorded for removal.
#pragma once

#include "setup_context.h"

// Every shortcut section of the application, in order; failures are not reported.
void CreateApplicationShortcuts(HWND page, SetupContext* context, ApplicationRecord* record);
void CreateShortcuts(HWND page, SetupContext* context, ApplicationRecord* record, const char* section,
                     const char* folder, const char* listIni);
// A shell link to target; true when saved.
bool SaveShellLink(const char* linkPath, const char* target, const char* description, const char* workingFolder,
                   const char* arguments);
bool SaveInternetShortcut(const char* path, const char* url);
