// The uninstaller's minimised main window: it asks the confirmation question, opens the frame
// and, when it goes, starts the second stage unless the removal was cancelled.
#pragma once

#include "uninstall_context.h"

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int RegisterMainWindowClass(UninstallContext* context);
int CreateMainWindow(UninstallContext* context);
// 1 go on, 0 the user declined.
int ConfirmUninstall(HWND window, UninstallContext* context);
