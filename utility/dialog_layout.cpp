#include "dialog_layout.h"

#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ini_text.h"
#include "win_handles.h"

namespace {

bool g_rightToLeft = false;

void AddExStyle(HWND window, LONG_PTR add, LONG_PTR remove) {
    LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, (ex | add) & ~remove);
}

bool ClassIs(HWND window, const wchar_t* name) {
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    return _wcsicmp(cls, name) == 0;
}

void MirrorControl(HWND control) {
    AddExStyle(control, WS_EX_LAYOUTRTL, 0);
    if (ClassIs(control, WC_LISTVIEWW)) {
        if (HWND header = ListView_GetHeader(control)) AddExStyle(header, WS_EX_LAYOUTRTL, 0);
    } else if (ClassIs(control, L"ComboBox")) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (GetComboBoxInfo(control, &info)) {
            if (info.hwndItem) AddExStyle(info.hwndItem, WS_EX_LAYOUTRTL, 0);
            if (info.hwndList) AddExStyle(info.hwndList, WS_EX_LAYOUTRTL, 0);
        }
    } else if (ClassIs(control, L"Edit")) {
        AddExStyle(control, WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR, WS_EX_LAYOUTRTL);
        SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | ES_RIGHT);
    } else if (ClassIs(control, WC_IPADDRESSW)) {
        // Addresses read left to right in every language.
        AddExStyle(control, 0, WS_EX_LAYOUTRTL);
    }
}

SIZE TextExtent(HWND window, HFONT font, const wchar_t* text) {
    SIZE size{};
    qz::WindowDC dc(window);
    if (!dc.get() || !text) return size;
    HGDIOBJ old = font ? SelectObject(dc.get(), font) : nullptr;
    GetTextExtentPoint32W(dc.get(), text, static_cast<int>(wcslen(text)), &size);
    if (old) SelectObject(dc.get(), old);
    return size;
}

}  // namespace

void SetRightToLeft(bool on) { g_rightToLeft = on; }
bool IsRightToLeft() { return g_rightToLeft; }

bool IniWantsRightToLeft(const wchar_t* iniPath) {
    std::wstring value = ReadIniValue(iniPath, L"FONT", L"DEFAULT", 2047);
    CharUpperBuffW(value.data(), static_cast<DWORD>(value.size()));
    return value.find(L"ARABIC") != std::wstring::npos;
}

void ApplyDialogLayout(HWND dialog, HFONT font, const ThemeItemInfo* rows, int mode,
                       const wchar_t* iniPath) {
    if (!dialog || !rows) return;
    const ThemeItemInfo& self = rows[0];
    if (mode == kLayoutSizeOnly) {
        SetWindowPos(dialog, nullptr, 0, 0, self.width,
                     GetSystemMetrics(SM_CYCAPTION) + self.height - 19,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (mode == kLayoutMoveSize) {
        SetWindowPos(dialog, nullptr, self.x, self.y, self.width, self.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (self.section) {
        std::wstring title = IniText(iniPath, self.section, self.key ? self.key : L"", 1023);
        if (!title.empty()) SetWindowTextW(dialog, title.c_str());
    }
    if (self.id == -1) return;
    for (const ThemeItemInfo* row = rows + 1; row->id != -1; ++row) {
        HWND control = GetDlgItem(dialog, row->id);
        if (!control) continue;
        MoveWindow(control, row->x, row->y, row->width, row->height, TRUE);
        if (!row->section) continue;
        if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (!row->key) continue;
        std::wstring text = IniText(iniPath, row->section, row->key, 1023);
        if (!text.empty()) SetWindowTextW(control, text.c_str());
    }
}

BOOL MirrorDialogControls(HWND dialog, const ThemeItemInfo* rows) {
    if (!rows) return FALSE;
    AddExStyle(dialog, WS_EX_LAYOUTRTL, 0);
    if (rows[0].id == -1) return TRUE;
    for (const ThemeItemInfo* row = rows + 1; row->id != -1; ++row) {
        if (HWND control = GetDlgItem(dialog, row->id)) MirrorControl(control);
    }
    return TRUE;
}

void CenterWindow(HWND window, HWND reference) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT work = monitor.rcWork;
    RECT ref = work;
    if (reference && IsWindowVisible(reference)) GetWindowRect(reference, &ref);
    RECT self{};
    GetWindowRect(window, &self);
    int w = self.right - self.left, h = self.bottom - self.top;
    int left = std::max<int>(work.left, ref.left + ((ref.right - ref.left) - w) / 2);
    int top = std::max<int>(work.top, ref.top + ((ref.bottom - ref.top) - h) / 2);
    if (left + w > work.right) left = work.right - w;
    if (top + h > work.bottom) top = work.bottom - h;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL IsRectOnScreen(const RECT* rect) {
    return rect && MonitorFromRect(rect, MONITOR_DEFAULTTONULL) != nullptr;
}

void ForceForeground(HWND window) {
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    DWORD self = GetCurrentThreadId();
    bool attached = foreground && foreground != self && AttachThreadInput(self, foreground, TRUE);
    SetForegroundWindow(window);
    if (attached) AttachThreadInput(self, foreground, FALSE);
}

int MeasureText(HWND window, HFONT font, const wchar_t* text, int extra) {
    return TextExtent(window, font, text).cx + extra;
}

int MeasureTextRect(HWND window, HFONT font, const wchar_t* text, RECT* rect) {
    if (!rect || !text) return 0;
    qz::WindowDC dc(window);
    if (!dc.get()) return 0;
    HGDIOBJ old = font ? SelectObject(dc.get(), font) : nullptr;
    int height = DrawTextW(dc.get(), text, -1, rect, DT_CALCRECT | DT_WORDBREAK);
    if (old) SelectObject(dc.get(), old);
    return height;
}

int FitWindowToText(HWND control, HFONT font, const wchar_t* text, int extraWidth, int height) {
    int width = MeasureText(control, font, text, extraWidth);
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return width;
}

int FitWindowToTextHeight(HWND control, HFONT font, const wchar_t* text, const RECT* rect) {
    if (!rect) return 0;
    RECT r = *rect;
    int height = MeasureTextRect(control, font, text, &r);
    SetWindowPos(control, nullptr, 0, 0, rect->right - rect->left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return height;
}

BOOL GetDlgItemTextLimited(HWND dialog, int id, wchar_t* text, int chars) {
    HWND edit = GetDlgItem(dialog, id);
    if (!edit || !text || chars <= 0) return FALSE;
    int limit = static_cast<int>(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    int length = GetWindowTextLengthW(edit);
    if (length <= limit && length < chars) {
        GetWindowTextW(edit, text, chars);
        return TRUE;
    }
    SetWindowTextW(edit, text);
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    DWORD caret = start ? start - 1 : 0;
    SendMessageW(edit, EM_SETSEL, caret, caret);
    return FALSE;
}

void EnableDlgItem(HWND dialog, int id, BOOL enable) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return;
    // A disabled button must never stay the default button.
    if (!enable) SendMessageW(control, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EnableWindow(control, enable);
}

HIMAGELIST GetSystemImageList(BOOL large) {
    wchar_t root[MAX_PATH] = {};
    if (!GetWindowsDirectoryW(root, MAX_PATH) || wcslen(root) < 3) return nullptr;
    root[3] = L'\0';
    SHFILEINFOW info{};
    UINT flags = SHGFI_SYSICONINDEX | (large ? SHGFI_LARGEICON : SHGFI_SMALLICON);
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(root, 0, &info, sizeof(info), flags));
}
