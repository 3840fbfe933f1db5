// The tab container with page dialogs, and owner-drawn menus from record tables.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "owner_menu.h"
#include "resource.h"
#include "tab_container.h"
#include "test_dialogs.h"
#include "test_support.h"

namespace {

// Page A refuses to be left while its first check box is checked.
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == UM_PAGE_VALIDATE) {
        BOOL keep = IsDlgButtonChecked(page, 1044) == BST_CHECKED;
        SetWindowLongPtrW(page, DWLP_MSGRESULT, keep ? 0 : 1);
        return TRUE;
    }
    if (message == UM_PAGE_SHOWN) {
        SetPropW(page, L"shown", reinterpret_cast<HANDLE>(1));
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK HostProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_NOTIFY) return OnTabNotify(dialog, reinterpret_cast<NMHDR*>(lParam), 2);
    return FALSE;
}

TEST(TabContainer, PagesSitInsideTheTabAndAPageThatRefusesKeepsItsTab) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND host = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_TEST_LAYOUT), nullptr, HostProc, 0);
    ASSERT_NE(host, nullptr);
    ShowWindow(host, SW_SHOWNA);
    const TabPageRow pages[] = {{IDD_TEST_PAGE_A, L"General", 0, PageProc},
                                {IDD_TEST_PAGE_B, L"Broadcast", 0, PageProc}};
    RECT rect{10, 10, 310, 210};
    HWND tab = CreateTabPages(instance, host, pages, &rect, 2);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(GetDlgCtrlID(tab), IDC_TAB_CONTAINER);
    EXPECT_EQ(TabCtrl_GetItemCount(tab), 2);
    HWND a = GetTabPage(tab, 0), b = GetTabPage(tab, 1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(FindTabPage(tab, b, 2), 1);
    EXPECT_EQ(FindTabPage(tab, host, 2), -1);
    RECT first{}, pageRect{};
    TabCtrl_GetItemRect(tab, 0, &first);
    GetWindowRect(a, &pageRect);
    MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&pageRect), 2);
    EXPECT_EQ(pageRect.left, 14);
    EXPECT_EQ(pageRect.top, 10 + first.bottom + 4);
    EXPECT_EQ(pageRect.right - pageRect.left, 292);
    EXPECT_EQ(pageRect.bottom - pageRect.top, 200 - first.bottom - 8);

    ShowTabPage(tab, 0, 2);
    EXPECT_TRUE(IsWindowVisible(a));
    EXPECT_FALSE(IsWindowVisible(b));
    EXPECT_TRUE(GetPropW(a, L"shown"));
    SetTabText(tab, 1, L"Addresses");
    wchar_t text[32] = L"";
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 32;
    TabCtrl_GetItem(tab, 1, &item);
    EXPECT_STREQ(text, L"Addresses");

    // A click on the second tab: the first page validates, refuses, and stays.
    CheckDlgButton(a, 1044, BST_CHECKED);
    NMHDR changing{tab, static_cast<UINT_PTR>(IDC_TAB_CONTAINER), static_cast<UINT>(TCN_SELCHANGING)};
    EXPECT_TRUE(OnTabNotify(host, &changing, 2));
    EXPECT_EQ(GetWindowLongPtrW(host, DWLP_MSGRESULT), TRUE);
    CheckDlgButton(a, 1044, BST_UNCHECKED);
    EXPECT_TRUE(OnTabNotify(host, &changing, 2));
    EXPECT_EQ(GetWindowLongPtrW(host, DWLP_MSGRESULT), FALSE);
    TabCtrl_SetCurSel(tab, 1);
    NMHDR changed{tab, static_cast<UINT_PTR>(IDC_TAB_CONTAINER), static_cast<UINT>(TCN_SELCHANGE)};
    EXPECT_TRUE(OnTabNotify(host, &changed, 2));
    EXPECT_TRUE(IsWindowVisible(b));
    EXPECT_FALSE(IsWindowVisible(a));
    EXPECT_FALSE(IsWindowEnabled(a));
    EXPECT_EQ(GetCurrentTabPage(host, IDC_TAB_CONTAINER), b);
    DestroyTabPages(tab, 2);
    EXPECT_FALSE(IsWindow(a) || IsWindow(b));
    DestroyWindow(host);
}

// One item drawn into a 160 x 22 bitmap, as a menu would ask for it.
class MenuPicture {
public:
    MenuPicture(HWND window, const MenuItemData* item, UINT state) {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, 160, 22);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        DRAWITEMSTRUCT draw{};
        draw.CtlType = ODT_MENU;
        draw.itemState = state;
        draw.hDC = dc_;
        draw.rcItem = {0, 0, 160, 22};
        draw.itemData = reinterpret_cast<ULONG_PTR>(item);
        drawn = OnDrawMenuItem(window, &draw);
    }
    ~MenuPicture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
    // Pixels of the icon box that are not the menu colour.
    int IconPixels() const {
        int count = 0;
        for (int y = 3; y < 19; ++y) {
            for (int x = 1; x < 17; ++x) count += at(x, y) != GetSysColor(COLOR_MENU);
        }
        return count;
    }
    BOOL drawn = FALSE;

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

class OwnerMenu : public ::testing::Test {
protected:
    void SetUp() override {
        ini_ = std::make_unique<TempIni>(L"[MENU]\r\nCONNECT=&Connect\r\nREFRESH=Re&fresh\r\n"
                                         L"ABOUT=&About\tF1\r\n");
        SetMenuResources(GetModuleHandleW(nullptr), ini_->path());
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        menu_ = CreatePopupMenu();
    }
    void TearDown() override {
        FreeMenuItems(menu_);
        DestroyMenu(menu_);
        DestroyWindow(window_);
        SetMenuResources(nullptr, nullptr);
    }
    MenuItemData* DataAt(int index) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_DATA | MIIM_FTYPE;
        GetMenuItemInfoW(menu_, static_cast<UINT>(index), TRUE, &info);
        return (info.fType & MFT_OWNERDRAW) ? reinterpret_cast<MenuItemData*>(info.dwItemData) : nullptr;
    }
    std::unique_ptr<TempIni> ini_;
    HWND window_ = nullptr;
    HMENU menu_ = nullptr;
};

TEST_F(OwnerMenu, RecordsBecomeItemsAndOnlyIconItemsAreOwnerDrawn) {
    const MenuItemRecord one[] = {
        {kMenuIniText, MFT_STRING, MFS_ENABLED, 1019, 105, 0, L"CONNECT", nullptr},
        {kMenuTableEnd, 0, 0, 0, 0, 0, nullptr, nullptr},
    };
    BuildMenu(menu_, one);
    ASSERT_EQ(GetMenuItemCount(menu_), 1);
    ASSERT_NE(DataAt(0), nullptr);
    EXPECT_EQ(DataAt(0)->text, L"&Connect");
    EXPECT_EQ(GetMenuItemID(menu_, 0), 1019u);

    std::wstring tray(300, L'n');
    tray += L" (free)";
    const MenuItemRecord more[] = {
        {0, MFT_STRING, MFS_ENABLED, 0x8206, kMenuNoIcon, 0, L"&Open", nullptr},
        {0, MFT_SEPARATOR, 0, 0, 0, 0, nullptr, nullptr},
        {kMenuSubmenu, MFT_STRING, 0, 0x8320, 125, 0, tray.c_str(), one},
        {kMenuIniText, MFT_STRING, MFS_DEFAULT, 0x825B, 101, 0, L"ABOUT", nullptr},
        {kMenuTableEnd, 0, 0, 0, 0, 0, nullptr, nullptr},
    };
    BuildMenu(menu_, more);
    ASSERT_EQ(GetMenuItemCount(menu_), 5);
    EXPECT_EQ(DataAt(1), nullptr) << "icon -1: drawn by the system";
    wchar_t text[32] = L"";
    GetMenuStringW(menu_, 1, text, 32, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Open");
    ASSERT_NE(DataAt(3), nullptr);
    EXPECT_EQ(DataAt(3)->text, tray) << "a long text is kept whole";
    HMENU sub = GetSubMenu(menu_, 3);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(GetMenuItemCount(sub), 1);
}

TEST_F(OwnerMenu, MeasureGivesTextWidthPlusTheIconBoxAndSeparatorsHalfAMenuRow) {
    const MenuItemRecord records[] = {
        {kMenuIniText, MFT_STRING, 0, 1024, 113, 0, L"REFRESH", nullptr},
        {0, MFT_SEPARATOR, 0, 0, 113, 0, nullptr, nullptr},
        {kMenuIniText, MFT_STRING, 0, 0x825B, 101, 0, L"ABOUT", nullptr},
        {kMenuTableEnd, 0, 0, 0, 0, 0, nullptr, nullptr},
    };
    BuildMenu(menu_, records);
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_MENU;
    measure.itemData = reinterpret_cast<ULONG_PTR>(DataAt(0));
    ASSERT_TRUE(OnMeasureMenuItem(window_, &measure));
    HFONT font = CreateMenuFont(DataAt(0));
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, font);
    DWORD extent = GetTabbedTextExtentW(dc, L"Re&fresh", 8, 0, nullptr);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    DeleteObject(font);
    int check = GetSystemMetrics(SM_CXMENUCHECK);
    EXPECT_EQ(static_cast<int>(measure.itemWidth), LOWORD(extent) + 41 + (check < 12 ? 1 - check : 0));
    EXPECT_GE(static_cast<int>(measure.itemHeight), GetSystemMetrics(SM_CYMENU));

    measure.itemData = reinterpret_cast<ULONG_PTR>(DataAt(1));
    ASSERT_TRUE(OnMeasureMenuItem(window_, &measure));
    EXPECT_EQ(measure.itemWidth, 0u);
    EXPECT_EQ(static_cast<int>(measure.itemHeight), GetSystemMetrics(SM_CYMENU) / 2);

    // Drawing goes through an off-screen bitmap into the menu's DC.
    MenuPicture picture(window_, DataAt(2), ODS_SELECTED);
    EXPECT_TRUE(picture.drawn);
    EXPECT_EQ(picture.at(150, 2), GetSysColor(COLOR_HIGHLIGHT));
}

TEST_F(OwnerMenu, ThemeIconsAndBitmapStripFramesAreDrawnInTheIconBox) {
    HMODULE theme = LoadLibraryW(BesideTest(L"Themes\\Quelbotheme.dll").c_str());
    ASSERT_NE(theme, nullptr);
    SetMenuResources(theme, ini_->path());
    const MenuItemRecord records[] = {
        {kMenuIniText, MFT_STRING, 0, 1019, 105, 0, L"CONNECT", nullptr},
        {kMenuBitmapStrip, MFT_STRING, 0, 1024, 215, 1, L"Refresh", nullptr},
        {0, MFT_STRING, 0, 1025, 4242, 0, L"No such icon", nullptr},
        {kMenuTableEnd, 0, 0, 0, 0, 0, nullptr, nullptr},
    };
    BuildMenu(menu_, records);
    EXPECT_GT(MenuPicture(window_, DataAt(0), 0).IconPixels(), 20);
    EXPECT_GT(MenuPicture(window_, DataAt(0), ODS_GRAYED).IconPixels(), 0);
    EXPECT_GT(MenuPicture(window_, DataAt(1), 0).IconPixels(), 100) << "one frame of the strip";
    EXPECT_EQ(MenuPicture(window_, DataAt(2), 0).IconPixels(), 0);
    FreeMenuItems(menu_);
    SetMenuResources(nullptr, nullptr);
    FreeLibrary(theme);
}

TEST_F(OwnerMenu, TypedLetterExecutesTheItemWhoseAmpersandPrecedesIt) {
    const MenuItemRecord records[] = {
        {0, MFT_STRING, 0, 1, 105, 0, L"Say &&no more", nullptr},
        {0, MFT_SEPARATOR, 0, 0, 105, 0, L"&Separator", nullptr},
        {kMenuIniText, MFT_STRING, 0, 1019, 105, 0, L"CONNECT", nullptr},
        {kMenuIniText, MFT_STRING, 0, 1024, 113, 0, L"REFRESH", nullptr},
        {kMenuTableEnd, 0, 0, 0, 0, 0, nullptr, nullptr},
    };
    BuildMenu(menu_, records);
    EXPECT_EQ(OnMenuChar(window_, L'c', menu_), MAKELRESULT(2, MNC_EXECUTE));
    EXPECT_EQ(OnMenuChar(window_, L'F', menu_), MAKELRESULT(3, MNC_EXECUTE));
    EXPECT_EQ(OnMenuChar(window_, L's', menu_), 0) << "separators never match";
    EXPECT_EQ(OnMenuChar(window_, L'n', menu_), 0) << "a doubled && is no mnemonic";
    EXPECT_EQ(MenuMnemonic(L"&&x&y"), L'Y');
    EXPECT_EQ(MenuMnemonic(L"trailing&"), 0);
}

}  // namespace
