#include "message_dialog.h"

#include "ini_text.h"
#include "main_window.h"
#include "resource.h"
#include "text_measure.h"
#include "window_position.h"

#include <cstring>
#include <string>

namespace {

constexpr int kTextWidth = 525;
constexpr int kTextHeight = 30;
constexpr int kLineMargin = 10;
enum Row { kDialogRow, kIconRow, kTextRow, kContinueRow, kCancelRow, kEndRow };

const LayoutRow kMessageLayout[] = {
    {IDD_MESSAGE, nullptr, nullptr, 0, 0, 605, 120},
    {IDC_MESSAGE_ICON, nullptr, nullptr, 12, 11, 32, 32},
    {IDC_MESSAGE_TEXT, "FONT", nullptr, 68, 21, kTextWidth, kTextHeight},
    {IDOK, "BUTTON", "CONTINUE", 207, 63, 88, 21},
    {IDCANCEL, "BUTTON", "CANCEL", 303, 63, 88, 21},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

struct DialogArgs {
    SetupContext* context;
    const char* key;
    HFONT font;
};

int WidestLine(HWND dialog, HFONT font, const std::string& text) {
    int widest = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        int width = GetTextWidth(dialog, font, line.c_str(), 0);
        if (width > widest) widest = width;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return widest;
}

void InitMessageDialog(HWND dialog, DialogArgs* args) {
    const SetupContext* c = args->context;
    char caption[512] = "";
    GetIniText(c->messageIni, "ERROR", "TITLE", {}, caption, sizeof caption);
    SetWindowTextA(dialog, caption);
    char text[2048] = "";
    GetIniText(c->messageIni, "ERROR", args->key, {}, text, sizeof text);
    char fontKey[32];
    PickVistaIniKey("STANDARD", c->messageIni, c->osCode, fontKey, sizeof fontKey);
    args->font = CreateIniFont(dialog, fontKey, c->messageIni);
    LayoutRow rows[kEndRow + 1];
    memcpy(rows, kMessageLayout, sizeof rows);
    RECT wrap = {0, 0, kTextWidth, kTextHeight};
    SizeMessageLayout(rows, GetTextHeight(dialog, args->font, text, &wrap), WidestLine(dialog, args->font, text));
    if (RtlLayout) MirrorDialogControls(dialog, rows);
    LayoutDialog(dialog, args->font, rows, kLayoutKeepPosition, c->messageIni);
    SetDlgItemTextA(dialog, IDC_MESSAGE_TEXT, text);
    SendDlgItemMessageA(dialog, IDC_MESSAGE_ICON, STM_SETICON,
                        reinterpret_cast<WPARAM>(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING))), 0);
    CenterWindowOnMonitor(dialog, nullptr);
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitMessageDialog(dialog, reinterpret_cast<DialogArgs*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
        else if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    case WM_DESTROY: {
        auto* args = reinterpret_cast<DialogArgs*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (args && args->font) DeleteObject(args->font);
        if (args) args->font = nullptr;
        return TRUE;
    }
    default: return FALSE;
    }
}

}  // namespace

void SizeMessageLayout(LayoutRow* rows, int textHeight, int widestLine) {
    if (textHeight > kTextHeight) {
        int grow = textHeight - kTextHeight;
        rows[kDialogRow].height += grow;
        rows[kTextRow].height = textHeight;
        rows[kContinueRow].y += grow;
        rows[kCancelRow].y += grow;
    }
    if (widestLine + kLineMargin < kTextWidth) {
        int narrow = kTextWidth - widestLine + 1;
        rows[kTextRow].width = widestLine + 1;
        rows[kDialogRow].width -= narrow;
        rows[kContinueRow].x -= narrow / 2;
        rows[kCancelRow].x -= narrow / 2;
    }
}

int ShowMessageDialog(HWND owner, SetupContext* context, const char* messageKey) {
    DialogArgs args = {context, messageKey, nullptr};
    INT_PTR result = DialogBoxParamA(context->instance, MAKEINTRESOURCEA(IDD_MESSAGE), owner, MessageDialogProc,
                                     reinterpret_cast<LPARAM>(&args));
    return result == 1 ? 1 : 0;
}
