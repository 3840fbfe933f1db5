// The setup program's main window: the full-screen background with its gradient, or a
// minimised stand-in, that owns the wizard frame.
#pragma once

#include "setup_context.h"

int RegisterMainWindowClass(HINSTANCE instance);
int CreateMainWindow(SetupContext* context);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Reloads the background font and texts from iniPath ("_VISTA" keys when vista is set).
void RefreshBackground(HWND window, const char* iniPath, bool vista);
// The colour of gradient band i of 64: blue falling from 255 to nearly black.
COLORREF BackgroundBandColour(int band);
