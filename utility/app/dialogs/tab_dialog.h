// What the options and property dialogs share: a modal dialog around a tab container with OK,
// Cancel and Apply below it, and pages that start, validate and report their changes alike.
#pragma once

#include <windows.h>

#include "tab_container.h"
#include "theme_api.h"

// An open tab dialog: its window (null while it is closed), whether OK or Apply wrote its pages
// back (Cancel then ends it with 1 as well), and how the pages are written back.
struct TabDialog {
    HWND window = nullptr;
    bool applied = false;
    int pageCount = 0;
    void (*apply)(HWND tab) = nullptr;
};

struct TabDialogForm {
    const ThemeItemInfo* layout;  // the dialog's rows; the IDC_TAB row places the tab control
    const TabPageRow* pages;      // each row's text is the [TAB] key of its tab
    int pageCount;
    int startPage;                // one out of range starts on the first page
    void (*apply)(HWND tab);      // writes every page back (OK and Apply, once the shown page is valid)
};

// WM_INITDIALOG: lays the dialog out (mirrored right to left), creates the pages with their tab
// texts, shows the start page, disables Apply and centres the dialog on its owner.
void InitTabDialog(HWND window, TabDialog* dialog, const TabDialogForm& form);
// Tab notifications, OK / Apply / Cancel, the black background brush and WM_DESTROY; FALSE for
// every other message.
INT_PTR HandleTabDialogMessage(HWND window, TabDialog* dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Destroys the pages and forgets the window.
void CloseTabDialog(HWND window, TabDialog* dialog);

// A page's start: mirroring, its 32 x 32 icon from the theme, its layout and the themed tab
// background.
void InitTabPage(HWND page, const ThemeItemInfo* layout, int iconId);
// UM_PAGE_CHANGED enables Apply of the dialog; UM_PAGE_VALIDATE answers `valid`; WM_DESTROY frees
// the page icon. TRUE when the message was one of them and is done.
BOOL HandleTabPageMessage(HWND page, UINT message, bool valid);
