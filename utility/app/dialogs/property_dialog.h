// The device property dialog (a tab container with the device page and the options page) and
// the printer selection dialog of printer devices.
#pragma once

#include <windows.h>

#include "../../../client/pnxscapi.h"

// Modal; suspends the library while it is open. 1 when settings were applied.
int ShowPropertyDialog(HWND owner, HPnxDv device);
// The open dialogs, or null; other commands refuse to run while one is open.
HWND GetPropertyDialogWindow();
HWND GetPrinterDialogWindow();
// Dialog 1006 for `device`: 1 OK, 2 Cancel.
INT_PTR ShowPrinterDialog(HWND owner, HPnxDv device);

// 1 when the first character of the device's location list is "R" or "r".
BOOL IsComPortDevice(HPnxDv device);
// Opens "http://<server address>/" with the shell.
void OpenServerWebPage(HWND owner, HPnxSv server);
