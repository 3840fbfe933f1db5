// The about box (1002): the program's icon, name and version and the bus driver's version.
#pragma once

#include <windows.h>

constexpr int IDD_ABOUT = 1002;

// Holds the library's background work while the box is open.
void ShowAboutDialog(HWND owner);
HWND GetAboutDialogWindow();
