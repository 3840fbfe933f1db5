// Four-frame bitmap buttons: size from the strip, frame and colour choice, shaped buttons that
// show the parent's background, and buttons whose bitmap cannot be loaded.
#include <windows.h>

#include <gtest/gtest.h>

#include "bitmap_button.h"
#include "dib_support.h"
#include "test_dialogs.h"

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;
constexpr uint32_t kMagenta = 0xFF00FF, kCyan = 0x00FFFF, kWhite = 0xFFFFFF, kBlack = 0;

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Renders one WM_DRAWITEM of the button into a memory bitmap and reads pixels back as RRGGBB.
class Rendered {
public:
    Rendered(HWND dialog, const Dib* background, HWND button, UINT itemState) {
        RECT rc{};
        GetClientRect(button, &rc);
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        DRAWITEMSTRUCT draw{};
        draw.CtlType = ODT_BUTTON;
        draw.CtlID = static_cast<UINT>(GetDlgCtrlID(button));
        draw.itemState = itemState;
        draw.hwndItem = button;
        draw.hDC = dc_;
        draw.rcItem = rc;
        handled_ = DrawBitmapButton(dialog, background, &draw);
    }
    ~Rendered() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    uint32_t at(int x, int y) const {
        COLORREF c = GetPixel(dc_, x, y);
        return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
    }
    BOOL handled() const { return handled_; }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    BOOL handled_;
};

class BitmapButtons : public ::testing::Test {
protected:
    void SetUp() override {
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TEST_GALLERY),
                                     nullptr, PlainDialogProc, 0);
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override { DestroyWindow(dialog_); }
    HWND dialog_ = nullptr;
};

TEST(ButtonFrame, StateBitsAndStyleChooseFrameAndColour) {
    struct Case {
        UINT state;
        uint32_t style;
        int frame;
        COLORREF colour;  // normal 1, focused 2, pressed 3, disabled 4
    } cases[] = {
        {0, 0, kFrameNormal, 1},
        {ODS_SELECTED, 0, kFramePressed, 3},
        {ODS_SELECTED | ODS_FOCUS, kBtnNoPressed, kFramePressed, 2},
        {ODS_SELECTED | ODS_DISABLED, 0, kFramePressed, 4},
        {ODS_DISABLED, 0, kFrameDisabled, 4},
        {ODS_FOCUS, kBtnFocusFrame, kFrameFocused, 2},
        {ODS_FOCUS, 0, kFrameNormal, 2},
        {ODS_FOCUS, kBtnFocusFrame | kBtnNoFocus, kFrameNormal, 1},
        {ODS_FOCUS | ODS_DISABLED, kBtnFocusFrame, kFrameDisabled, 4},
    };
    BitmapButtonState s;
    s.colourNormal = 1;
    s.colourFocused = 2;
    s.colourPressed = 3;
    s.colourDisabled = 4;
    for (const Case& c : cases) {
        s.style = c.style;
        EXPECT_EQ(ChooseButtonFrame(c.state, c.style), c.frame) << c.state << "/" << c.style;
        EXPECT_EQ(ButtonTextColour(s, c.state), c.colour) << c.state << "/" << c.style;
    }
}

TEST_F(BitmapButtons, A400By50StripGivesA100By50ButtonShowingEachFrame) {
    const uint32_t frames[] = {kRed, kGreen, kBlue, kYellow};
    TempFile strip(MakeBmpFile(MakePackedDib(400, 50, 24, [&](int x, int) { return frames[x / 100]; })));
    const ThemeOdBtnInfo rows[] = {
        {reinterpret_cast<uintptr_t>(strip.path()), kButtonFromFile, 1019, 0, 0, 0, 0, 0, kBtnImageOnly | kBtnFocusFrame},
        {-1ull, 0, -1, 0, 0, 0, 0, 0, 0},
    };
    InitBitmapButtons(dialog_, rows, 1);
    HWND button = GetDlgItem(dialog_, 1019);
    ASSERT_NE(GetBitmapButtonState(button), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    RECT rc{};
    GetClientRect(button, &rc);
    EXPECT_EQ(rc.right, 100);
    EXPECT_EQ(rc.bottom, 50);
    const struct {
        UINT state;
        uint32_t colour;
    } views[] = {{0, kRed}, {ODS_SELECTED, kGreen}, {ODS_DISABLED, kBlue}, {ODS_FOCUS, kYellow}};
    for (const auto& v : views) {
        Rendered r(dialog_, nullptr, button, v.state);
        ASSERT_TRUE(r.handled());
        EXPECT_EQ(r.at(1, 1), v.colour) << v.state;
        EXPECT_EQ(r.at(98, 48), v.colour) << v.state;
    }
    FreeBitmapButtons(dialog_, rows, 1);
    EXPECT_EQ(GetBitmapButtonState(button), nullptr);
}

TEST_F(BitmapButtons, ShapedButtonShowsTheBackgroundWhereTheStripIsMagenta) {
    // Frame 0: magenta left half, red right half; the first pixel (bottom-left) is magenta.
    std::vector<uint8_t> packed = MakePackedDib(
        80, 10, 8, [](int x, int) { return (x % 20) < 10 ? 2u : 3u; }, {kBlack, kWhite, kMagenta, kRed});
    TempFile strip(MakeBmpFile(packed));
    std::vector<uint8_t> cyan = MakePackedDib(400, 300, 24, [](int, int) { return kCyan; });
    Dib background;
    ASSERT_TRUE(LoadDibPacked(&background, cyan.data(), cyan.size(), true));
    const ThemeOdBtnInfo rows[] = {
        {reinterpret_cast<uintptr_t>(strip.path()), kButtonFromFile | kButtonShaped, 1020, 0, 0, 0, 0, 0, kBtnImageOnly},
    };
    InitBitmapButtons(dialog_, rows, 1);
    HWND button = GetDlgItem(dialog_, 1020);
    ASSERT_NE(GetBitmapButtonState(button), nullptr);
    EXPECT_TRUE(GetBitmapButtonState(button)->shaped);
    {
        Rendered r(dialog_, &background, button, 0);
        EXPECT_EQ(r.at(2, 5), kCyan);
        EXPECT_EQ(r.at(15, 5), kRed);
    }
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(button, region), ERROR);
    EXPECT_FALSE(PtInRegion(region, 2, 5));
    EXPECT_TRUE(PtInRegion(region, 15, 5));
    DeleteObject(region);
    FreeBitmapButtons(dialog_, rows, 1);
    FreeDib(&background);
}

TEST_F(BitmapButtons, AMissingBitmapLeavesAPlainOwnerDrawnButtonWithoutState) {
    const ThemeOdBtnInfo rows[] = {
        {reinterpret_cast<uintptr_t>(L"C:\\missing.bmp"), kButtonFromFile, 1018, 0, 0, 0, 0, 0, 0},
        {4242, 0, 1023, 0, 0, 0, 0, 0, 0},
    };
    SetResourceModule(GetModuleHandleW(nullptr));
    InitBitmapButtons(dialog_, rows, 2);
    for (int id : {1018, 1023}) {
        HWND button = GetDlgItem(dialog_, id);
        EXPECT_EQ(GetBitmapButtonState(button), nullptr) << id;
        EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << id;
        Rendered r(dialog_, nullptr, button, 0);
        EXPECT_FALSE(r.handled());
    }
    FreeBitmapButtons(dialog_, rows, 2);
    SetResourceModule(nullptr);
}

}  // namespace
