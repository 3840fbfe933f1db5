#include "listview_util.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

TEST(ListViewUtil, ItemDataSetTextAndFind) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 200, 200,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    for (int c = 0; c < 2; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH;
        column.cx = 80;
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    int data[2] = {};
    const std::string longText(300, 'k');
    const char* texts[] = {"Alpha", longText.c_str()};
    for (int i = 0; i < 2; ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = const_cast<char*>(texts[i]);
        item.lParam = reinterpret_cast<LPARAM>(&data[i]);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    EXPECT_EQ(ListViewItemData(list, 1), &data[1]);
    EXPECT_EQ(ListViewItemData(list, 2), nullptr);
    EXPECT_EQ(ListViewItemData(list, -1), nullptr);

    ASSERT_TRUE(ListViewSetText(list, 0, 1, "Printer-B"));
    int row = -1;
    EXPECT_TRUE(ListViewFindText(list, 1, "PRINTER-b", &row));
    EXPECT_EQ(row, 0);
    // Only the first 260 characters are compared.
    EXPECT_TRUE(ListViewFindText(list, 0, (std::string(260, 'K') + "tail").c_str(), &row));
    EXPECT_EQ(row, 1);
    EXPECT_FALSE(ListViewFindText(list, 0, "Alph", &row));
    EXPECT_FALSE(ListViewFindText(list, 0, "", &row));
    EXPECT_FALSE(ListViewFindText(list, 0, nullptr, &row));
    DestroyWindow(list);
}
