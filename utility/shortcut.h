// Shell links, in particular the program's shortcut in the user's Startup folder.
#pragma once

#include <windows.h>

HRESULT CreateShellLink(const wchar_t* linkPath, const wchar_t* target, const wchar_t* workingFolder,
                        const wchar_t* description, const wchar_t* arguments,
                        const wchar_t* iconPath, int iconIndex, int showCommand);
// Creates Startup\<name>.lnk to this program when it does not exist yet.
BOOL EnsureStartupShortcut(const wchar_t* name, const wchar_t* description, const wchar_t* arguments);
// TRUE when Startup\<name>.lnk is absent or was deleted.
BOOL DeleteShortcut(const wchar_t* name);
// Reads target, description and arguments (buffers of MAX_PATH characters; an empty answer
// leaves a buffer as it was). Any output may be null.
BOOL ReadShortcut(const wchar_t* linkPath, wchar_t* target, wchar_t* description, wchar_t* arguments);
BOOL ReadStartupShortcut(const wchar_t* name, wchar_t* target, wchar_t* description,
                         wchar_t* arguments);
