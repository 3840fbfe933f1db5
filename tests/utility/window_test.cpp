// Dialog layout with INI texts, right-to-left mirroring, centring, centred message boxes (also
// one opened while another is showing) and the small control helpers.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "dialog_layout.h"
#include "message_box.h"
#include "own_window.h"
#include "test_dialogs.h"
#include "test_support.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

class LayoutDialog : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
        InitCommonControlsEx(&icc);
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TEST_LAYOUT),
                                     nullptr, PlainDialogProc, 0);
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override { DestroyWindow(dialog_); }
    RECT ClientRectOf(int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(dialog_, id), &r);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    LONG_PTR ExStyle(HWND w) { return GetWindowLongPtrW(w, GWL_EXSTYLE); }
    HWND dialog_ = nullptr;
};

TEST_F(LayoutDialog, RowsMoveControlsSetFontsAndTextsAndSkipMissingControls) {
    TempIni ini(L"[TITLE]\r\nOPTION=Options\r\n[GROUP]\r\nLABEL=Line one\\nLine two\r\n"
                L"[BUTTON]\r\nOK=Okay\r\n");
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    const ThemeItemInfo rows[] = {
        {0, L"TITLE", L"OPTION", 0, 0, 300, 500},
        {1058, L"GROUP", L"LABEL", 10, 12, 100, 30},
        {1079, L"GROUP", nullptr, 10, 50, 80, 20},
        {4242, L"GROUP", L"LABEL", 1, 1, 1, 1},
        {1039, L"BUTTON", L"OK", 120, 50, 60, 24},
        {1090, L"BUTTON", L"MISSING", 120, 90, 60, 24},
        {-1, nullptr, nullptr, 0, 0, 0, 0},
    };
    ApplyDialogLayout(dialog_, font, rows, kLayoutSizeOnly, ini.path());
    RECT window{};
    GetWindowRect(dialog_, &window);
    EXPECT_EQ(window.right - window.left, 300);
    EXPECT_EQ(window.bottom - window.top, GetSystemMetrics(SM_CYCAPTION) + 481);
    wchar_t text[64];
    GetWindowTextW(dialog_, text, 64);
    EXPECT_STREQ(text, L"Options");
    RECT label = ClientRectOf(1058);
    EXPECT_EQ(label.left, 10);
    EXPECT_EQ(label.top, 12);
    EXPECT_EQ(label.right, 110);
    GetDlgItemTextW(dialog_, 1058, text, 64);
    EXPECT_STREQ(text, L"Line one\r\nLine two");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog_, 1079, WM_GETFONT, 0, 0)), font);
    GetDlgItemTextW(dialog_, 1039, text, 64);
    EXPECT_STREQ(text, L"Okay");
    GetDlgItemTextW(dialog_, 1090, text, 64);
    EXPECT_STREQ(text, L"") << "an empty INI text keeps the control's own";

    const ThemeItemInfo moved[] = {{0, nullptr, nullptr, 40, 30, 320, 200}, {-1, nullptr, nullptr, 0, 0, 0, 0}};
    ApplyDialogLayout(dialog_, nullptr, moved, kLayoutMoveSize, ini.path());
    GetWindowRect(dialog_, &window);
    EXPECT_EQ(window.left, 40);
    EXPECT_EQ(window.top, 30);
    EXPECT_EQ(window.right - window.left, 320);
    DeleteObject(font);
}

TEST_F(LayoutDialog, MirroringSetsLayoutBitsByControlClass) {
    // The right-to-left sample text file is what turns mirroring on.
    ASSERT_TRUE(IniWantsRightToLeft(BesideTest(L"Pnxmsg_rtl.ini").c_str()));
    EXPECT_FALSE(MirrorDialogControls(dialog_, nullptr));
    const ThemeItemInfo rows[] = {
        {IDD_TEST_LAYOUT, nullptr, nullptr, 0, 0, 0, 0}, {1058, nullptr, nullptr, 0, 0, 0, 0},
        {1079, nullptr, nullptr, 0, 0, 0, 0}, {1085, nullptr, nullptr, 0, 0, 0, 0},
        {1089, nullptr, nullptr, 0, 0, 0, 0}, {1090, nullptr, nullptr, 0, 0, 0, 0},
        {-1, nullptr, nullptr, 0, 0, 0, 0},
    };
    ASSERT_TRUE(MirrorDialogControls(dialog_, rows));
    EXPECT_TRUE(ExStyle(dialog_) & WS_EX_LAYOUTRTL);
    EXPECT_TRUE(ExStyle(GetDlgItem(dialog_, 1058)) & WS_EX_LAYOUTRTL);
    HWND edit = GetDlgItem(dialog_, 1079);
    EXPECT_FALSE(ExStyle(edit) & WS_EX_LAYOUTRTL);
    EXPECT_EQ(ExStyle(edit) & (WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR),
              WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR);
    EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_RIGHT);
    HWND list = GetDlgItem(dialog_, 1085);
    EXPECT_TRUE(ExStyle(list) & WS_EX_LAYOUTRTL);
    EXPECT_TRUE(ExStyle(ListView_GetHeader(list)) & WS_EX_LAYOUTRTL);
    EXPECT_FALSE(ExStyle(GetDlgItem(dialog_, 1089)) & WS_EX_LAYOUTRTL) << "addresses stay left to right";
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof(combo);
    ASSERT_TRUE(GetComboBoxInfo(GetDlgItem(dialog_, 1090), &combo));
    EXPECT_TRUE(ExStyle(GetDlgItem(dialog_, 1090)) & WS_EX_LAYOUTRTL);
    EXPECT_TRUE(ExStyle(combo.hwndList) & WS_EX_LAYOUTRTL);
}

TEST_F(LayoutDialog, LimitedTextReadAndDisabledButtonLosesDefault) {
    HWND edit = GetDlgItem(dialog_, 1079);
    SendMessageW(edit, EM_SETLIMITTEXT, 5, 0);
    SetWindowTextW(edit, L"abc");
    wchar_t text[16] = L"";
    EXPECT_TRUE(GetDlgItemTextLimited(dialog_, 1079, text, 16));
    EXPECT_STREQ(text, L"abc");
    SetWindowTextW(edit, L"abcdefgh");
    EXPECT_FALSE(GetDlgItemTextLimited(dialog_, 1079, text, 16));
    wchar_t now[16];
    GetWindowTextW(edit, now, 16);
    EXPECT_STREQ(now, L"abc") << "the previous value is put back";

    HWND button = GetDlgItem(dialog_, 1039);
    SendMessageW(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EnableDlgItem(dialog_, 1039, FALSE);
    EXPECT_FALSE(IsWindowEnabled(button));
    EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & 0x0F, BS_PUSHBUTTON);
}

TEST(ScreenHelpers, RectanglesOnAndOffTheScreen) {
    RECT on{10, 10, 50, 50}, off{-9000, -9000, -8900, -8900};
    EXPECT_TRUE(IsRectOnScreen(&on));
    EXPECT_FALSE(IsRectOnScreen(&off));
    EXPECT_FALSE(IsRectOnScreen(nullptr));
}

// A visible owner for message boxes; WM_APP opens a second box while the first one runs.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        MessageBoxCentered(GetModuleHandleW(nullptr), window, L"second", L"QzBox2", MB_OK);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND WaitForBox(const wchar_t* title) { return WaitForOwnBox(title); }

POINT CentreOf(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST(MessageBoxCentered, BoxesAreCentredOnTheOwnerAlsoWhenNested) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QzBoxOwner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, L"QzBoxOwner", L"owner", WS_POPUP | WS_VISIBLE, 100, 120, 600,
                                 400, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(owner, nullptr);
    const POINT ownerCentre = CentreOf(owner);
    std::atomic<int> checked{0};
    POINT first{}, second{};
    std::thread helper([&] {
        HWND box1 = WaitForBox(L"QzBox1");
        if (!box1) return;
        first = CentreOf(box1);
        PostMessageW(owner, WM_APP, 0, 0);  // the first box's loop opens the second one
        HWND box2 = WaitForBox(L"QzBox2");
        if (box2) {
            second = CentreOf(box2);
            ++checked;
            SendMessageW(box2, WM_COMMAND, IDOK, 0);
        }
        for (int i = 0; i < 200 && IsWindow(box2); ++i) Sleep(10);
        ++checked;
        SendMessageW(box1, WM_COMMAND, IDOK, 0);
    });
    int answer = MessageBoxCentered(GetModuleHandleW(nullptr), owner, L"first", L"QzBox1", MB_OK);
    helper.join();
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(checked.load(), 2);
    EXPECT_NEAR(first.x, ownerCentre.x, 2);
    EXPECT_NEAR(first.y, ownerCentre.y, 2);
    EXPECT_NEAR(second.x, ownerCentre.x, 2);
    EXPECT_NEAR(second.y, ownerCentre.y, 2);
    DestroyWindow(owner);
}

TEST(IniMessageBox, TitleAndFormattedTextComeFromTheIni) {
    TempIni ini(L"[ERROR]\r\nTITLE=Quelbo Plus\r\nMESSAGE02=%s could not be found.%d\r\n");
    std::wstring seen;
    std::thread helper([&] {
        HWND box = WaitForBox(L"Quelbo Plus");
        if (!box) return;
        // The text is the box's static control 0xFFFF.
        wchar_t text[128] = L"";
        GetDlgItemTextW(box, 0xFFFF, text, 128);
        seen = text;
        SendMessageW(box, WM_COMMAND, IDOK, 0);
    });
    IniMessageBox(GetModuleHandleW(nullptr), nullptr, ini.path(), L"ERROR", L"MESSAGE02", L"TITLE",
                  MB_OK | MB_ICONWARNING, L"Quelbotheme.dll");
    helper.join();
    EXPECT_EQ(seen, L"Quelbotheme.dll could not be found.%d");
}

}  // namespace
