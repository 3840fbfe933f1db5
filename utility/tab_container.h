// A tab control that hosts one child dialog per page.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct TabPageRow {
    int dialogId;
    const wchar_t* text;  // the tab's text (the owner may replace it later)
    LPARAM parameter;     // creation parameter of the page
    DLGPROC procedure;
};

HWND CreateTabPages(HINSTANCE instance, HWND parent, const TabPageRow* pages, const RECT* rect,
                    int count);
HWND GetTabPage(HWND tab, int index);
void SetTabText(HWND tab, int index, const wchar_t* text);
int FindTabPage(HWND tab, HWND page, int count);
HWND GetCurrentTabPage(HWND dialog, int tabId);
void ShowTabPage(HWND tab, int index, int count);
// UM_PAGE_VALIDATE to `page`: false when it answers 0; a missing page is valid.
bool ValidateTabPage(HWND page);
// Destroys the page windows; the owner does this when its dialog ends.
void DestroyTabPages(HWND tab, int count);
// WM_NOTIFY of the tab control: TRUE when it was handled (the result is in DWLP_MSGRESULT).
BOOL OnTabNotify(HWND dialog, const NMHDR* notify, int count);
