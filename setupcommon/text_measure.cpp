#include "text_measure.h"

#include "path_helpers.h"

#include <win_handles.h>

#include <cstring>
#include <string>

namespace {

constexpr size_t kFitChars = 261;

// The window's DC with a font selected for the life of the object.
class FontDC {
public:
    FontDC(HWND window, HFONT font) : dc_(window) {
        if (dc_.get() && font) old_ = SelectObject(dc_.get(), font);
    }
    ~FontDC() {
        if (old_) SelectObject(dc_.get(), old_);
    }
    HDC get() const { return dc_.get(); }

private:
    qz::WindowDC dc_;
    HGDIOBJ old_ = nullptr;
};

int WidthOf(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

int WrappedHeight(HWND window, HFONT font, const char* text, const RECT* rect) {
    if (!rect) return 0;
    FontDC dc(window, font);
    if (!dc.get()) return 0;
    RECT r = *rect;
    return DrawTextA(dc.get(), text ? text : "", -1, &r, DT_CALCRECT | DT_WORDBREAK);
}

void CopyOut(char* out, size_t outSize, const std::wstring& text) {
    lstrcpynA(out, WideToOem(text).c_str(), static_cast<int>(outSize));
}

}  // namespace

void FitTextToWidth(HWND dialog, int controlId, const char* text, char* out, size_t outSize, HFONT font) {
    if (!out || outSize == 0) return;
    out[0] = 0;
    if (!text) return;
    HWND control = GetDlgItem(dialog, controlId);
    RECT client{};
    GetClientRect(control, &client);
    int limit = client.right - client.left;
    FontDC dc(control, font);
    std::wstring wide = OemToWide(text);
    if (wide.size() > kFitChars - 1) wide.resize(kFitChars - 1);
    if (!dc.get() || WidthOf(dc.get(), wide) < limit) {
        lstrcpynA(out, text, static_cast<int>(outSize));
        return;
    }
    // A path keeps its first three characters (the drive) and as many of its last folders as fit.
    for (size_t at = wide.find(L'\\', 3); at != std::wstring::npos && wide.size() > 3; at = wide.find(L'\\', at + 1)) {
        std::wstring candidate = wide.substr(0, 3) + L"..." + wide.substr(at);
        if (WidthOf(dc.get(), candidate) < limit) {
            CopyOut(out, outSize, candidate);
            return;
        }
    }
    int dots = WidthOf(dc.get(), L"...");
    std::wstring head = wide;
    while (head.size() > 1 && WidthOf(dc.get(), head) + dots >= limit) head.pop_back();
    CopyOut(out, outSize, head + L"...");
}

int LimitDlgItemText(HWND dialog, int controlId, char* buffer, size_t bufferSize) {
    if (!buffer || bufferSize == 0) return 0;
    HWND edit = GetDlgItem(dialog, controlId);
    size_t limit = static_cast<size_t>(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0));
    size_t take = limit < bufferSize - 1 ? limit : bufferSize - 1;
    buffer[0] = 0;
    GetWindowTextA(edit, buffer, static_cast<int>(take + 1));
    return 1;
}

int FitLabelHeight(HWND control, HFONT font, const char* text, const RECT* rect) {
    int height = WrappedHeight(control, font, text, rect);
    if (rect) {
        SetWindowPos(control, nullptr, 0, 0, rect->right - rect->left, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return height;
}

int GetTextWidth(HWND window, HFONT font, const char* text, int margin) {
    FontDC dc(window, font);
    SIZE size{};
    if (dc.get() && text) GetTextExtentPoint32A(dc.get(), text, static_cast<int>(std::strlen(text)), &size);
    return size.cx + margin;
}

int GetTextHeight(HWND window, HFONT font, const char* text, const RECT* rect) {
    return WrappedHeight(window, font, text, rect);
}
