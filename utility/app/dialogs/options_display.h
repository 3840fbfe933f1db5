// The column page of the options dialog: which list columns are shown, their order and width.
#pragma once

#include <windows.h>

#include "user_settings.h"

// Creation parameter: the caller's column table, copied into `working` when the page starts.
INT_PTR CALLBACK DisplayPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Renumbers the shown rows' display orders from the list's order, top to bottom, into the
// page's working table and copies that table to `out`.
void ReadColumnSettings(HWND page, ListColumnRow* out);
