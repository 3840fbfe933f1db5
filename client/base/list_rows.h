// The library's own record of which item data the rows of its entry lists hold, in row order:
// the server list, and each server window's device and storage lists. It follows the lists by
// their own notices (an item inserted, an item deleted), so that any thread can ask whether a
// handle is listed, or walk a list, without sending a message to a window of another thread
// while it holds the library lock. Guarded by the library lock.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

// The list's parent hands on the list's LVN_INSERTITEM and LVN_DELETEITEM notices here.
// Takes the library lock.
void FollowListNotice(const NMHDR* header);

// The item data of the list's rows in row order.
std::vector<LPARAM> ListRowsLocked(HWND list);

// The row that holds `data`; -1 when none does.
int ListRowOfLocked(HWND list, LPARAM data);

// Forgets a list (its window is destroyed).
void ForgetListRowsLocked(HWND list);
