// Rows of the library's lists found by their key text without reading the list's texts: an
// index per list kept in step with its rows (added with a row, dropped with it). Keys compare
// as the list search does: ignoring case, at most 260 characters.
#pragma once

#include <windows.h>

#include <cstddef>

// Adds a row's key and item data. A key already present keeps its first row.
void RowIndexAdd(HWND list, const char* key, LPARAM data);

// Drops the row with this item data (it is being deleted).
void RowIndexRemove(HWND list, LPARAM data);

// Drops every row of a list (the list is new, or all its rows went).
void RowIndexClear(HWND list);

// The item data of the row with this key; 0 when there is none, or for a null or empty key.
LPARAM RowIndexFind(HWND list, const char* key);

// Rows the index knows for a list.
size_t RowIndexSize(HWND list);

// The item data of the row whose text in `column` is the key: from the index, or, when the
// list has rows the index does not know (put in by other code), by reading the texts.
LPARAM FindRowByKey(HWND list, int column, const char* key);

// The row that holds this item data; -1 when none does.
int RowOfItemData(HWND list, LPARAM data);
