// Message boxes centred on their owner, with texts from the message file.
#pragma once

#include <windows.h>

// Shows MessageBoxW; with an owner, the box is centred on it when it first activates. Each call
// keeps its own hook, so a box shown while another is open centres correctly and leaks nothing.
int MessageBoxCentered(HINSTANCE instance, HWND owner, const wchar_t* text, const wchar_t* title,
                       UINT style);

// Title from [section] titleKey (255 characters), text from [section] textKey (511 characters,
// unescaped, "%s" filled with `argument` when given), MB_SETFOREGROUND added, and
// MB_RTLREADING when the program runs right to left.
int IniMessageBox(HINSTANCE instance, HWND owner, const wchar_t* iniPath, const wchar_t* section,
                  const wchar_t* textKey, const wchar_t* titleKey, UINT style,
                  const wchar_t* argument);
