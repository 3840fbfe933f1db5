#include "wizard_pages.h"

#include <new>

int CountPageRows(const PageTableEntry* table) {
    int n = 0;
    while (table && table[n].dialogId != 0) ++n;
    return n;
}

int CreatePages(Wizard* w) {
    int rows = CountPageRows(w->table);
    w->pages = new (std::nothrow) HWND[rows + 1]();
    if (!w->pages) return 0;
    for (int i = 0; i < rows; ++i) {
        w->pages[i] = CreateDialogParamA(w->instance, MAKEINTRESOURCEA(w->table[i].dialogId), w->frame,
                                         w->table[i].procedure, 0);
    }
    return 1;
}

void DestroyPages(Wizard* w) {
    if (!w->pages) return;
    int rows = CountPageRows(w->table);
    for (int i = 0; i < rows; ++i) {
        if (w->pages[i] && IsWindow(w->pages[i])) DestroyWindow(w->pages[i]);
    }
    delete[] w->pages;
    w->pages = nullptr;
}

void ShowPage(Wizard* w, int index) {
    bool left = w->table[index].flag == 1;
    ShowWindow(GetDlgItem(w->frame, w->ids.upperLine), left ? SW_HIDE : SW_SHOW);
    HWND back = GetDlgItem(w->frame, w->ids.back);
    ShowWindow(back, SW_SHOW);
    EnableWindow(back, !left);
    *w->current = static_cast<uint32_t>(index);
    InvalidateRect(w->frame, nullptr, TRUE);
    UpdateWindow(w->frame);
    ShowWindow(w->pages[index], SW_SHOW);
}

namespace {

void SetButtonStyle(HWND frame, int id, DWORD style) {
    SendMessageA(GetDlgItem(frame, id), BM_SETSTYLE, style, TRUE);
}

bool IsPushButton(HWND control) {
    char cls[16] = "";
    GetClassNameA(control, cls, sizeof cls);
    LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    return lstrcmpiA(cls, "Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

bool Move(Wizard* w, UINT message) {
    uint32_t left = *w->current;
    HWND leftPage = w->pages[left];
    if (!SendPageMessage(leftPage, message, 0)) return false;
    uint32_t target = *w->next;
    if (target >= static_cast<uint32_t>(CountPageRows(w->table))) return false;
    ShowPage(w, static_cast<int>(target));
    if (!SendPageMessage(w->pages[target], kWizardShown, left)) return false;
    SetPageFocus(w, static_cast<int>(target));
    if (target != left) ShowWindow(leftPage, SW_HIDE);
    return true;
}

}  // namespace

void SetPageFocus(Wizard* w, int index) {
    SetButtonStyle(w->frame, w->ids.next, BS_DEFPUSHBUTTON);
    SendMessageA(w->frame, DM_SETDEFID, w->ids.next, 0);
    SetButtonStyle(w->frame, w->ids.back, BS_PUSHBUTTON);
    SetButtonStyle(w->frame, w->ids.cancel, BS_PUSHBUTTON);
    int focus = static_cast<int>(w->table[index].focusControl);
    HWND control = focus != w->ids.next ? GetDlgItem(w->pages[index], focus) : nullptr;
    if (!control) {
        SetFocus(GetDlgItem(w->frame, w->ids.next));
        return;
    }
    SetFocus(control);
    if (IsPushButton(control)) {
        // A page whose focus is a push button (the folder browser) makes it the default.
        SendMessageA(control, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        SetButtonStyle(w->frame, w->ids.next, BS_PUSHBUTTON);
    }
}

bool GoNextPage(Wizard* w) { return Move(w, kWizardNext); }
bool GoBackPage(Wizard* w) { return Move(w, kWizardBack); }

LRESULT SendPageMessage(HWND page, UINT message, WPARAM wParam) {
    return SendMessageA(page, message, wParam, 0);
}

INT_PTR PageAnswer(HWND page, LRESULT result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
    return TRUE;
}

HANDLE StartPageWorker(LPTHREAD_START_ROUTINE routine, void* argument) {
    constexpr SIZE_T kWorkerStackBytes = 16384;
    HANDLE thread = CreateThread(nullptr, kWorkerStackBytes, routine, argument, 0, nullptr);
    if (thread) SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    return thread;
}
