// Opening a file, a web page or a folder with the shell: the program's one way to it.
#pragma once

#include <windows.h>

// verb null: the default verb. TRUE when the shell took the request.
BOOL ShellLaunch(HWND owner, const wchar_t* verb, const wchar_t* target);
