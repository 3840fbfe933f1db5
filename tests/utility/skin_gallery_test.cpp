// A test dialog dressed in the theme: the main frame's nine background pieces, the eight
// bitmap buttons placed by the theme's layout rows, text buttons and a tab container. It is
// photographed from the screen (skin_gallery.bmp beside the test program) for a person to
// look at, and a few pixels are checked against the theme's own bitmaps.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "bitmap_button.h"
#include "dib.h"
#include "tab_container.h"
#include "test_dialogs.h"
#include "test_support.h"
#include "theme_api.h"
#include "theme_resources.h"

namespace {

struct Gallery {
    Dib pieces[9];  // 237 238 219 239 216 240 217 218 241
    Dib canvas;     // the painted background, for shaped buttons
    HMODULE theme = nullptr;
};
Gallery* g_gallery = nullptr;

const int kPieceIds[9] = {theme::kBmpFrameTopLeft, theme::kBmpFrameTopRight, theme::kBmpFrameTop,
                          theme::kBmpFrameBottomLeft, theme::kBmpFrameLeft, theme::kBmpFrameBottomRight,
                          theme::kBmpFrameRight, theme::kBmpFrameBottom, theme::kBmpLogo};

void PaintFrame(HWND dialog, HDC target) {
    RECT rc{};
    GetClientRect(dialog, &rc);
    const int w = rc.right, h = rc.bottom;
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, w, h);
    HGDIOBJ old = SelectObject(mem, bitmap);
    FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawFramePieces(mem, g_gallery->pieces, w, h);
    // Class and server icons of the theme on the bottom band.
    const int icons[] = {theme::kIconMfp, theme::kIconPrinter, theme::kIconStorage};
    for (int i = 0; i < 3; ++i) {
        auto icon = static_cast<HICON>(LoadImageW(g_gallery->theme, MAKEINTRESOURCEW(icons[i]),
                                                  IMAGE_ICON, 48, 48, LR_DEFAULTCOLOR));
        DrawIconEx(mem, 12 + i * 56, 408, icon, 48, 48, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    }
    BitBlt(target, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
}

INT_PTR CALLBACK GalleryProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_ERASEBKGND:
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 1);
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(dialog, &ps);
            PaintFrame(dialog, dc);
            EndPaint(dialog, &ps);
            return TRUE;
        }
        case WM_DRAWITEM:
            return DrawBitmapButton(dialog, nullptr, reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        case WM_NOTIFY:
            return OnTabNotify(dialog, reinterpret_cast<NMHDR*>(lParam), 2);
    }
    return FALSE;
}

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The screen's pixels of a window, as a 24-bit bitmap file, and the pixel reader.
class Photo {
public:
    explicit Photo(HWND window) {
        GetWindowRect(window, &rect_);
        w_ = rect_.right - rect_.left;
        h_ = rect_.bottom - rect_.top;
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w_, h_, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        BitBlt(dc_, 0, 0, w_, h_, screen, rect_.left, rect_.top, SRCCOPY);
        GdiFlush();
        ReleaseDC(nullptr, screen);
    }
    ~Photo() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
    bool Save(const std::wstring& path) const {
        const DWORD stride = ((DWORD(w_) * 3 + 3) & ~3u), size = stride * DWORD(h_);
        BITMAPFILEHEADER file{0x4D42, 14 + 40 + size, 0, 0, 14 + 40};
        BITMAPINFOHEADER info{sizeof(info), w_, h_, 1, 24, BI_RGB, size, 0, 0, 0, 0};
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        WriteFile(h, &file, 14, &written, nullptr);
        WriteFile(h, &info, 40, &written, nullptr);
        WriteFile(h, bits_, size, &written, nullptr);
        CloseHandle(h);
        return written == size;
    }

private:
    RECT rect_{};
    int w_ = 0, h_ = 0;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    BYTE* bits_ = nullptr;
};

TEST(SkinGallery, ThemeArtworkAndSkinnedControlsOnOneDialog) {
    Gallery gallery;
    g_gallery = &gallery;
    gallery.theme = LoadLibraryW(BesideTest(L"Themes\\Quelbotheme.dll").c_str());
    ASSERT_NE(gallery.theme, nullptr);
    SetResourceModule(gallery.theme);
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(LoadDib(&gallery.pieces[i], MAKEINTRESOURCEW(kPieceIds[i]), FALSE)) << kPieceIds[i];
    auto itemInfo = reinterpret_cast<PnxThemeGetItemInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(gallery.theme, kThemeGetItemInfo)));
    auto buttonInfo = reinterpret_cast<PnxThemeGetOdBtnInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(gallery.theme, kThemeGetOdBtnInfo)));
    ASSERT_TRUE(itemInfo && buttonInfo);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_TEST_GALLERY), nullptr, GalleryProc, 0);
    ASSERT_NE(dialog, nullptr);
    HFONT font = CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");

    ThemeItemInfo self{1001, nullptr, nullptr, 0, 0, 0, 0};
    itemInfo(&self, 1001);
    SetWindowPos(dialog, HWND_TOP, 40, 40, self.width, self.height, SWP_NOACTIVATE);
    const struct {
        int id, bitmap;
    } mainButtons[] = {{1024, theme::kBmpRefreshButton}, {1095, theme::kBmpSwitchButton},
                       {1021, theme::kBmpOptionButton},  {1022, theme::kBmpHelpButton},
                       {1019, theme::kBmpConnectButton}, {1020, theme::kBmpDisconnectButton},
                       {1018, theme::kBmpPropertyButton}, {1023, theme::kBmpRequestButton}};
    std::vector<ThemeOdBtnInfo> rows;
    for (const auto& b : mainButtons) {
        ThemeItemInfo place{b.id, nullptr, nullptr, 0, 0, 0, 0};
        ASSERT_TRUE(itemInfo(&place, 1001));
        MoveWindow(GetDlgItem(dialog, b.id), place.x, place.y, place.width, place.height, FALSE);
        ThemeOdBtnInfo row{static_cast<uint64_t>(b.bitmap), 0, b.id, 0, 0, 0, 0, 0, 0};
        ASSERT_TRUE(buttonInfo(&row, 1001));
        rows.push_back(row);
    }
    const struct {
        int id, bitmap, x, y;
    } textButtons[] = {{1030, theme::kBmpYesButton, 190, 466},
                       {1032, theme::kBmpCancelButton, 284, 466},
                       {1104, theme::kBmpCancelButton, 378, 466}};
    for (const auto& b : textButtons) {
        MoveWindow(GetDlgItem(dialog, b.id), b.x, b.y, 10, 10, FALSE);
        SendDlgItemMessageW(dialog, b.id, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ThemeOdBtnInfo row{static_cast<uint64_t>(b.bitmap), 0, b.id, 0, 0, 0, 0, 0, 0};
        ASSERT_TRUE(buttonInfo(&row, 1004));
        rows.push_back(row);
    }
    InitBitmapButtons(dialog, rows.data(), static_cast<int>(rows.size()));
    ShowButtonFocus(dialog, rows.data(), static_cast<int>(rows.size()), TRUE);
    ShowButtonAccelerators(dialog, rows.data(), static_cast<int>(rows.size()), TRUE);

    const TabPageRow pages[] = {{IDD_TEST_PAGE_A, L"General", 0, PageProc},
                                {IDD_TEST_PAGE_B, L"Broadcast", 0, PageProc}};
    RECT tabRect{12, 80, 530, 390};
    HWND tab = CreateTabPages(instance, dialog, pages, &tabRect, 2);
    ASSERT_NE(tab, nullptr);
    ShowTabPage(tab, 0, 2);
    CheckDlgButton(GetTabPage(tab, 0), 1044, BST_CHECKED);

    ShowWindow(dialog, SW_SHOWNORMAL);
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, 1024));
    PumpMessages(600);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages(300);

    Photo photo(dialog);
    std::wstring path = BesideTest(L"skin_gallery.bmp");
    EXPECT_TRUE(photo.Save(path));

    // The frame's top band and a button's normal frame came from the theme's bitmaps.
    auto similar = [](COLORREF a, COLORREF b) {
        return abs(GetRValue(a) - GetRValue(b)) < 24 && abs(GetGValue(a) - GetGValue(b)) < 24 &&
               abs(GetBValue(a) - GetBValue(b)) < 24;
    };
    HDC screen = GetDC(nullptr);
    HDC probe = CreateCompatibleDC(screen);
    HBITMAP one = CreateCompatibleBitmap(screen, 1, 1);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(probe, one);
    DrawDibPart(probe, &gallery.pieces[2], 0, 0, 1, 1, 0, 5, 1, 1);
    COLORREF band = GetPixel(probe, 0, 0);
    SelectObject(probe, old);
    DeleteObject(one);
    DeleteDC(probe);
    EXPECT_TRUE(similar(photo.at(300, 5), band)) << std::hex << photo.at(300, 5) << " vs " << band;
    RECT disconnect{};
    GetWindowRect(GetDlgItem(dialog, 1020), &disconnect);
    EXPECT_EQ(disconnect.right - disconnect.left, 64) << "one frame of the 256-pixel strip";
    FreeBitmapButtons(dialog, rows.data(), static_cast<int>(rows.size()));
    DestroyWindow(dialog);
    DeleteObject(font);
    for (Dib& d : gallery.pieces) FreeDib(&d);
    SetResourceModule(nullptr);
    FreeLibrary(gallery.theme);
    g_gallery = nullptr;
}

}  // namespace
