// Message boxes with their texts from the message INI, centred on their owner.
#pragma once

#include <windows.h>

#include "ini_text.h"

int MessageBoxCentered(HINSTANCE instance, HWND owner, const char* text, const char* title, UINT flags);
// [section] textKey (default "Error!") with its escapes and argument, titled by [section]
// titleKey (default "Error Message"); the button chosen.
int ShowIniMessageBox(HWND owner, const char* iniPath, const char* section, const char* textKey,
                      const char* titleKey, UINT flags, FormatArg argument, BOOL centred);
// The system's text for an error code, titled by the owner's window title.
int ShowSystemErrorBox(HWND owner, DWORD errorCode, UINT flags, BOOL centred);
