// Opening a file or web page with the shell. When the environment names a record file
// (QZ_SHELL_RECORD) the request is written there instead, so tests never open a browser.
#pragma once

#include <windows.h>

// verb null: the default verb. TRUE when the shell took the request (or it was recorded).
BOOL ShellLaunch(HWND owner, const wchar_t* verb, const wchar_t* target);
