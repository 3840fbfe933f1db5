#include "view_paint.h"

namespace {
constexpr int kBarHead = 66;
constexpr int kBarTail = 2;
constexpr int kLeftMargin = 62;
constexpr int kRightMargin = 30;
constexpr int kIconGap = 47;
constexpr int kIconRise = 4;
}  // namespace

void DrawSelectionBar(HDC dc, const Dib* bar, int left, int right, int top, int height) {
    if (!bar || !bar->info || bar->width < kBarHead + 1 + kBarTail) return;
    SetStretchBltMode(dc, COLORONCOLOR);
    DrawDibPart(dc, bar, left, top, kBarHead, height, 0, 0, kBarHead, bar->height);
    const int middle = right - kBarTail - (left + kBarHead);
    if (middle > 0) DrawDibPart(dc, bar, left + kBarHead, top, middle, height, kBarHead, 0, 1, bar->height);
    DrawDibPart(dc, bar, right - kBarTail, top, kBarTail, height, kBarHead + 1, 0, kBarTail, bar->height);
}

void PaintEmptyMessage(HWND window, HDC dc, HFONT font, const std::wstring& text, LPCWSTR icon, int textTop) {
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HGDIOBJ old = SelectObject(dc, font);
    RECT area{client.left + kLeftMargin, client.top + textTop, client.right - kRightMargin, client.bottom};
    RECT measure = area;
    DrawTextW(dc, text.c_str(), -1, &measure, DT_CENTER | DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    const int widest = measure.right - measure.left;
    const int lineLeft = area.left + ((area.right - area.left) - widest) / 2;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, text.c_str(), -1, &area, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    if (HICON system = LoadIconW(nullptr, icon)) {
        DrawIconEx(dc, lineLeft - kIconGap, area.top - kIconRise, system, 32, 32, 0, nullptr, DI_NORMAL);
    }
}
