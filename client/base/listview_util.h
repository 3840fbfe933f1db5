// The library keeps its records as item data of hidden list views; these are the few
// synchronous list-view operations it needs.
#pragma once

#include <windows.h>

// Item data (LVIF_PARAM) of a row; null when there is no such row.
void* ListViewItemData(HWND list, int row);

// Sets the text of one column of a row.
bool ListViewSetText(HWND list, int row, int column, const char* text);

// Finds the first row whose text in `column` equals `text`, ignoring case and comparing at
// most 260 characters. False for a null or empty text or when no row matches.
bool ListViewFindText(HWND list, int column, const char* text, int* row);
