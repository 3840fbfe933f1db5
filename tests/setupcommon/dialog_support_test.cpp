#include "bitmap_file.h"
#include "dialog_layout.h"
#include "message_box.h"
#include "text_measure.h"
#include "window_position.h"

#include "bitmap_builder.h"
#include "own_window.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <thread>

namespace {

enum : uint32_t { kDialogId = 100, kLabel = 101, kEdit = 102, kCombo = 103, kList = 104, kButton = 105 };

const char kIni[] =
    "[FONT]\r\nSTANDARD=Arial,12,ANSI,BOLD,UNDERLINE\r\nSHORT=Arial,12\r\nLOWER=Arial,9,SHIFTJIS,bold\r\n"
    "ODD=Tahoma,10,KLINGON,HEAVY\r\n"
    "[TITLE]\r\nMAIN=Layout caption\r\n"
    "[LABEL]\r\nINFO=Label from the INI\r\nEMPTY=\r\nBUTTON=&Next\r\n"
    "[ERROR]\r\nTITLE=Setup error\r\nMESSAGE_11=Component %s failed\\n100% sure\r\n";

const LayoutRow kTable[] = {
    {kDialogId, "TITLE", "MAIN", 40, 30, 420, 300},
    {kLabel, "LABEL", "INFO", 10, 10, 200, 20},
    {kEdit, "LABEL", "EMPTY", 10, 40, 200, 22},
    {kCombo, "LABEL", nullptr, 10, 70, 200, 120},
    {kList, nullptr, nullptr, 10, 100, 200, 80},
    {kButton, "LABEL", "BUTTON", 300, 250, 90, 24},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};

class DialogSupport : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        ini_ = dir_ / "msg.ini";
        WriteFileText(ini_, kIni);
        dialog_ = CreateWindowExA(0, "#32770", "resource caption", WS_POPUP | WS_CAPTION | WS_VISIBLE, 5, 5, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
        Child("STATIC", "resource label", kLabel, 0);
        Child("EDIT", "typed", kEdit, WS_BORDER);
        Child("COMBOBOX", "", kCombo, CBS_DROPDOWN);
        Child(WC_LISTVIEWA, "", kList, LVS_REPORT);
        Child("BUTTON", "resource button", kButton, 0);
    }
    void TearDown() override {
        RtlLayout = 0;
        DestroyWindow(dialog_);
    }
    HWND Child(const char* cls, const char* text, uint32_t id, DWORD style) {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 50, 20, dialog_,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    }
    std::string Text(uint32_t id) {
        char text[128] = "";
        GetDlgItemTextA(dialog_, static_cast<int>(id), text, sizeof text);
        return text;
    }
    RECT ChildRect(uint32_t id) {
        RECT r;
        GetWindowRect(GetDlgItem(dialog_, static_cast<int>(id)), &r);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    LONG_PTR ExStyle(HWND w) { return GetWindowLongPtrA(w, GWL_EXSTYLE); }

    ScratchFolder dir_{"dialog"};
    std::string ini_;
    HWND dialog_ = nullptr;
};

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

TEST_F(DialogSupport, FontsFromIniDescriptions) {
    const struct { const char* key; bool made; int height; int weight; uint8_t charset; bool underline; } kCases[] = {
        {"STANDARD", true, -12, 700, 0, true}, {"LOWER", true, -9, 0, 128, false},
        {"ODD", true, -10, 900, 1, false},     {"SHORT", false, 0, 0, 0, false},
        {"MISSING", false, 0, 0, 0, false},    {"", false, 0, 0, 0, false},
    };
    for (const auto& c : kCases) {
        HFONT font = CreateIniFont(dialog_, c.key, ini_.c_str());
        ASSERT_EQ(font != nullptr, c.made) << c.key;
        if (!font) continue;
        LOGFONTA back{};
        ASSERT_EQ(GetObjectA(font, sizeof back, &back), static_cast<int>(sizeof back));
        EXPECT_EQ(back.lfHeight, c.height) << c.key;
        EXPECT_EQ(back.lfWeight, c.weight) << c.key;
        EXPECT_EQ(back.lfCharSet, c.charset) << c.key;
        EXPECT_EQ(back.lfUnderline != 0, c.underline) << c.key;
        EXPECT_FALSE(back.lfItalic || back.lfStrikeOut);
        DeleteObject(font);
    }
}

TEST_F(DialogSupport, LayoutMovesControlsAndSetsTheirTexts) {
    HFONT font = CreateIniFont(dialog_, "STANDARD", ini_.c_str());
    HFONT before = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog_, kList, WM_GETFONT, 0, 0));
    LayoutDialog(dialog_, font, kTable, kLayoutMoveAndSize, ini_.c_str());
    RECT r;
    GetWindowRect(dialog_, &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 420);
    char caption[64];
    GetWindowTextA(dialog_, caption, sizeof caption);
    EXPECT_STREQ(caption, "Layout caption");
    RECT label = ChildRect(kButton);
    EXPECT_EQ(label.left, 300);
    EXPECT_EQ(label.bottom - label.top, 24);
    EXPECT_EQ(Text(kLabel), "Label from the INI");
    EXPECT_EQ(Text(kButton), "&Next");
    EXPECT_EQ(Text(kEdit), "typed");  // an empty INI text leaves the control's own
    EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog_, kLabel, WM_GETFONT, 0, 0)), font);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog_, kList, WM_GETFONT, 0, 0)), before);
    EXPECT_EQ(ChildRect(kList).top, 100);  // moved even without a section

    LayoutDialog(dialog_, font, kTable, kLayoutKeepPosition, ini_.c_str());
    GetWindowRect(dialog_, &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.bottom - r.top, 300 + GetSystemMetrics(SM_CYCAPTION) - 19);

    const LayoutRow dialogOnly[] = {{kDialogId, nullptr, nullptr, 7, 8, 300, 200}, {0, "LABEL", "INFO", 0, 0, 1, 1}};
    SetDlgItemTextA(dialog_, kLabel, "unchanged");
    LayoutDialog(dialog_, font, dialogOnly, kLayoutMoveAndSize, ini_.c_str());
    GetWindowRect(dialog_, &r);
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(Text(kLabel), "unchanged");
    EXPECT_EQ(ChildRect(kLabel).left, 10);

    LayoutRow row{};
    EXPECT_EQ(FindControlLayout(kTable, kCombo, &row), 3);
    EXPECT_EQ(row.y, 70);
    EXPECT_EQ(FindControlLayout(kTable, 999, &row), 0);
    EXPECT_EQ(row.controlId, kDialogId);
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    DeleteObject(font);
}

TEST_F(DialogSupport, MirroringForRightToLeft) {
    EXPECT_EQ(MirrorDialogControls(dialog_, nullptr), 0);
    ASSERT_EQ(MirrorDialogControls(dialog_, kTable), 1);
    EXPECT_TRUE(ExStyle(dialog_) & WS_EX_LAYOUTRTL);
    EXPECT_TRUE(ExStyle(GetDlgItem(dialog_, kLabel)) & WS_EX_LAYOUTRTL);
    HWND edit = GetDlgItem(dialog_, kEdit);
    EXPECT_FALSE(ExStyle(edit) & WS_EX_LAYOUTRTL);  // right-aligned, not mirrored
    EXPECT_TRUE((ExStyle(edit) & (WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR)) ==
                (WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR));
    EXPECT_TRUE(GetWindowLongPtrA(edit, GWL_STYLE) & ES_RIGHT);
    HWND header = reinterpret_cast<HWND>(SendDlgItemMessageA(dialog_, kList, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(ExStyle(header) & WS_EX_LAYOUTRTL);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(GetDlgItem(dialog_, kCombo), &info));
    EXPECT_TRUE(ExStyle(info.hwndItem) & WS_EX_LAYOUTRTL);
    EXPECT_TRUE(ExStyle(info.hwndList) & WS_EX_LAYOUTRTL);
}

TEST_F(DialogSupport, TextsFitTheirControls) {
    LayoutDialog(dialog_, nullptr, kTable, kLayoutMoveAndSize, ini_.c_str());
    HFONT font = CreateIniFont(dialog_, "LOWER", ini_.c_str());
    const char* path = "C:\\Program Files\\Quelbo Plus\\Drivers\\x64\\Package\\zkuptp.inf";
    char out[261];
    FitTextToWidth(dialog_, kLabel, path, out, sizeof out, font);
    std::string fitted(out);
    EXPECT_EQ(fitted.rfind("C:\\...\\", 0), 0u) << fitted;
    EXPECT_EQ(fitted.substr(fitted.size() - 11), "\\zkuptp.inf") << fitted;
    EXPECT_LT(GetTextWidth(GetDlgItem(dialog_, kLabel), font, out, 0), 200);
    FitTextToWidth(dialog_, kLabel, "C:\\short", out, sizeof out, font);
    EXPECT_STREQ(out, "C:\\short");
    std::string words(200, 'w');
    FitTextToWidth(dialog_, kLabel, words.c_str(), out, sizeof out, font);
    fitted = out;
    EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
    EXPECT_LT(GetTextWidth(GetDlgItem(dialog_, kLabel), font, out, 0), 200);
    EXPECT_GT(fitted.size(), 5u);

    HWND label = GetDlgItem(dialog_, kLabel);
    RECT area{0, 0, 120, 10};
    std::string text = "A longer explanation that needs several lines in a narrow label.";
    int height = FitLabelHeight(label, font, text.c_str(), &area);
    int line = GetTextHeight(label, font, "x", &area);
    EXPECT_GT(height, 2 * line);
    RECT now = ChildRect(kLabel);
    EXPECT_EQ(now.right - now.left, 120);
    EXPECT_EQ(now.bottom - now.top, height);
    EXPECT_EQ(now.left, 10);  // resized, not moved
    EXPECT_EQ(GetTextWidth(label, font, "", 7), 7);

    SendDlgItemMessageA(dialog_, kEdit, EM_SETLIMITTEXT, 4, 0);
    SetDlgItemTextA(dialog_, kEdit, "ab");
    char small[3];
    EXPECT_EQ(LimitDlgItemText(dialog_, kEdit, small, sizeof small), 1);
    EXPECT_STREQ(small, "ab");
    DeleteObject(font);
}

TEST_F(DialogSupport, CentringStaysInsideTheWorkArea) {
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    HWND popup = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
    SetWindowPos(dialog_, nullptr, 100, 100, 400, 300, SWP_NOZORDER);
    CenterWindowOnMonitor(popup, dialog_);
    RECT r;
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.left, 250);
    EXPECT_EQ(r.top, 225);
    SetWindowPos(dialog_, nullptr, work.right - 150, work.bottom - 20, 200, 100, SWP_NOZORDER);
    CenterWindowOnMonitor(popup, dialog_);
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
    ShowWindow(dialog_, SW_HIDE);  // a hidden reference: the work area instead
    CenterWindowOnMonitor(popup, dialog_);
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.left, work.left + (work.right - work.left - 100) / 2);
    DestroyWindow(popup);
    EXPECT_EQ(ForceForegroundWindow(dialog_, 4), 1);
}

TEST_F(DialogSupport, IniMessageBoxIsCentredOnItsOwner) {
    SetWindowPos(dialog_, nullptr, 200, 150, 500, 400, SWP_NOZORDER);
    RECT box{};
    std::string boxText;
    std::thread closer([&] {
        // The box is found by its title and closed as a user would, with its OK button.
        HWND found = WaitForOwnBox(L"Setup error");
        if (!found) return;
        GetWindowRect(found, &box);
        char text[256] = "";
        GetDlgItemTextA(found, 0xFFFF, text, sizeof text);
        boxText = text;
        PostMessageA(found, WM_COMMAND, IDOK, 0);
    });
    int button = ShowIniMessageBox(dialog_, ini_.c_str(), "ERROR", "MESSAGE_11", "TITLE", MB_OK | MB_ICONEXCLAMATION,
                                   "Driver", TRUE);
    closer.join();
    EXPECT_EQ(button, IDOK);
    EXPECT_EQ(boxText, "Component Driver failed\r\n100% sure");
    int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    EXPECT_NEAR(cx, 450, 2);
    EXPECT_NEAR(cy, 350, 2);
}

namespace {

// A window that paints a red-and-green background bitmap and a blue foreground bitmap.
struct PaintScene {
    DibImage background{}, foreground{};
    POINT backgroundPos{0, 0}, foregroundPos{100, 10};
    RECT text1{10, 70, 190, 110}, text2{10, 110, 190, 150};
    HFONT font = nullptr;
};
PaintScene* g_scene = nullptr;

LRESULT CALLBACK SceneProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT && g_scene) {
        PaintBitmap(w, &g_scene->background, &g_scene->foreground, &g_scene->backgroundPos, &g_scene->foregroundPos,
                    &g_scene->text1, &g_scene->text2, g_scene->font, nullptr, "Painted title text",
                    "Second text, wrapped at the rectangle's right edge");
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

COLORREF ScreenPixel(HWND w, int x, int y) {
    RECT r;
    GetWindowRect(w, &r);
    POINT p{r.left + x, r.top + y};
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

}  // namespace

TEST_F(DialogSupport, BitmapsPaintTheRightWayRoundInBothDirections) {
    ScratchFolder dir("paint");
    BmpBytes split = MakeBmp(80, 60, 24, 255, 0, 0);
    for (int y = 0; y < 60; ++y) {
        for (int x = 40; x < 80; ++x) {
            uint8_t* p = &split.bytes[54 + y * 240 + x * 3];
            p[0] = 0, p[1] = 255, p[2] = 0;  // the right half green
        }
    }
    WriteFileText(dir / "back.bmp", std::string(split.bytes.begin(), split.bytes.end()));
    BmpBytes blue = MakeBmp(30, 30, 8, 0, 0, 255);
    WriteFileText(dir / "fore.bmp", std::string(blue.bytes.begin(), blue.bytes.end()));
    PaintScene scene;
    ASSERT_EQ(LoadBitmapFile(nullptr, &scene.background, (dir / "back.bmp").c_str()), 1);
    ASSERT_EQ(LoadBitmapFile(nullptr, &scene.foreground, (dir / "fore.bmp").c_str()), 1);
    scene.font = CreateIniFont(dialog_, "STANDARD", ini_.c_str());
    g_scene = &scene;
    WNDCLASSA wc{};
    wc.lpfnWndProc = SceneProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "QzPaintScene";
    RegisterClassA(&wc);

    for (int rtl = 0; rtl < 2; ++rtl) {
        RtlLayout = rtl;
        // Pixels are read back from the screen: topmost, and away from the windows of the
        // other tests that run beside this one on the same display.
        HWND w = CreateWindowExA(WS_EX_TOPMOST | (rtl ? WS_EX_LAYOUTRTL : 0), "QzPaintScene", "",
                                 WS_POPUP | WS_VISIBLE, 1000, 780, 200, 160, nullptr, nullptr, nullptr, nullptr);
        UpdateWindow(w);
        PumpMessages();
        Sleep(50);
        // Screen offsets from the window's left edge. Mirrored, the background (logical 0-80)
        // lies at the right edge and the foreground (logical 100-130) left of the middle, and
        // each image still shows the right way round: red half left, green half right.
        const int red = rtl ? 130 : 10, green = rtl ? 190 : 70, blueAt = rtl ? 85 : 110;
        EXPECT_EQ(ScreenPixel(w, red, 30), RGB(255, 0, 0)) << "rtl " << rtl;
        EXPECT_EQ(ScreenPixel(w, green, 30), RGB(0, 255, 0)) << "rtl " << rtl;
        EXPECT_EQ(ScreenPixel(w, blueAt, 20), RGB(0, 0, 255)) << "rtl " << rtl;
        DestroyWindow(w);
    }
    g_scene = nullptr;
    FreeBitmapFile(&scene.background);
    FreeBitmapFile(&scene.foreground);
    DeleteObject(scene.font);
}
