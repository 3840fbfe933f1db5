#include "tab_container.h"

#include <vector>

#include "dialog_layout.h"
#include "resource.h"

HWND CreateTabPages(HINSTANCE instance, HWND parent, const TabPageRow* pages, const RECT* rect,
                    int count) {
    if (!parent || !pages || !rect || count <= 0) return nullptr;
    std::vector<HWND> windows;
    for (int i = 0; i < count; ++i) {
        windows.push_back(CreateDialogParamW(instance, MAKEINTRESOURCEW(pages[i].dialogId), parent,
                                             pages[i].procedure, pages[i].parameter));
    }
    HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, rect->left,
                               rect->top, rect->right - rect->left, rect->bottom - rect->top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TAB_CONTAINER)),
                               instance, nullptr);
    if (!tab) return nullptr;
    SendMessageW(tab, WM_SETFONT, SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
    for (int i = 0; i < count; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<wchar_t*>(pages[i].text ? pages[i].text : L"");
        item.lParam = reinterpret_cast<LPARAM>(windows[i]);
        TabCtrl_InsertItem(tab, i, &item);
    }
    RECT first{};
    TabCtrl_GetItemRect(tab, 0, &first);
    RECT frame{};
    GetWindowRect(tab, &frame);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&frame), 2);
    if (frame.left > frame.right) std::swap(frame.left, frame.right);  // mirrored parent
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    int x = frame.left + 4;
    if (IsRightToLeft()) x = rect->left + 8;
    for (HWND page : windows) {
        if (!page) continue;
        SetWindowPos(page, HWND_TOP, x, frame.top + first.bottom + 4, width - 8,
                     height - first.bottom - 8, SWP_NOACTIVATE);
    }
    return tab;
}

HWND GetTabPage(HWND tab, int index) {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (!TabCtrl_GetItem(tab, index, &item)) return nullptr;
    return reinterpret_cast<HWND>(item.lParam);
}

void SetTabText(HWND tab, int index, const wchar_t* text) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(text ? text : L"");
    TabCtrl_SetItem(tab, index, &item);
}

int FindTabPage(HWND tab, HWND page, int count) {
    for (int i = 0; i < count; ++i) {
        if (GetTabPage(tab, i) == page) return i;
    }
    return -1;
}

HWND GetCurrentTabPage(HWND dialog, int tabId) {
    HWND tab = GetDlgItem(dialog, tabId);
    return tab ? GetTabPage(tab, TabCtrl_GetCurSel(tab)) : nullptr;
}

void ShowTabPage(HWND tab, int index, int count) {
    for (int i = 0; i < count; ++i) {
        if (i == index) continue;
        if (HWND page = GetTabPage(tab, i)) {
            EnableWindow(page, FALSE);
            ShowWindow(page, SW_HIDE);
        }
    }
    HWND page = GetTabPage(tab, index);
    if (!page) return;
    SendMessageW(page, UM_PAGE_SHOWING, 0, 0);
    EnableWindow(page, TRUE);
    ShowWindow(page, SW_SHOW);
    SendMessageW(page, UM_PAGE_SHOWN, 0, 0);
}

bool ValidateTabPage(HWND page) { return !page || SendMessageW(page, UM_PAGE_VALIDATE, 0, 0) != 0; }

void DestroyTabPages(HWND tab, int count) {
    for (int i = 0; i < count; ++i) {
        if (HWND page = GetTabPage(tab, i)) DestroyWindow(page);
    }
}

BOOL OnTabNotify(HWND dialog, const NMHDR* notify, int count) {
    if (!notify) return FALSE;
    HWND tab = notify->hwndFrom;
    if (notify->code == TCN_SELCHANGING) {
        // A page that answers 0 keeps its tab: the dialog result TRUE stops the change.
        const bool valid = ValidateTabPage(GetTabPage(tab, TabCtrl_GetCurSel(tab)));
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, valid ? FALSE : TRUE);
        return TRUE;
    }
    if (notify->code == TCN_SELCHANGE) {
        ShowTabPage(tab, TabCtrl_GetCurSel(tab), count);
        return TRUE;
    }
    return FALSE;
}
