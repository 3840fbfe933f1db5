// The right-click menus of the device list and the tree, and the HELP button's menu.
#pragma once

#include <windows.h>

void ShowListContextMenu(HWND dialog, POINT screen);
// On the tree's selected item: the server menu for a server, the device menu otherwise.
void ShowTreeContextMenu(HWND dialog, POINT screen);
void ShowHelpMenu(HWND dialog, int buttonId);
