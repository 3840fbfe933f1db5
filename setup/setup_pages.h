// The wizard's page dialogs. Each page keeps its PageText as user data, answers the frame's
// page messages and sets the next-page index.
#pragma once

#include <windows.h>

INT_PTR CALLBACK SetupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
