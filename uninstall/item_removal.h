// The last removal steps: shortcuts, files, the shared-use key with its shared files, the
// recorded folders and the Uninstall registry entry.
#pragma once

#include "uninstall_context.h"

// Always 1: missing items are skipped, other errors are shown and the run goes on.
int DeleteInstalledItems(HWND page, UninstallContext* context);
// The system's text for the error in a box with the caption; silent runs show nothing.
void ShowLastErrorBox(HWND owner, const UninstallContext& context, DWORD error, const char* caption, UINT icon);
