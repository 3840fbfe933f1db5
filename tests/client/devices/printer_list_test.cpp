// The printer list rows of the service window and the device-port rule.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "lib_test_support.h"
#include "printer_list.h"

namespace {

TEST(PrinterList, DevicePortRule) {
    EXPECT_TRUE(IsDevicePort("USB001"));
    EXPECT_TRUE(IsDevicePort("usb123"));
    EXPECT_TRUE(IsDevicePort("DOT4_001"));
    EXPECT_TRUE(IsDevicePort("dot4"));
    EXPECT_FALSE(IsDevicePort("USB01"));
    EXPECT_FALSE(IsDevicePort("USB0012"));
    EXPECT_FALSE(IsDevicePort("LPT1:"));
    EXPECT_FALSE(IsDevicePort("XUSB01"));
    EXPECT_FALSE(IsDevicePort(""));
    EXPECT_FALSE(IsDevicePort(nullptr));
}

TEST(PrinterList, RowMatchesOnlyWithTheSamePort) {
    EnsureLibraryAttached();
    ResetLibStateForTests();
    TestClientWindow client;
    HWND service = PnxRegisterNotification(client.get(), nullptr);
    ASSERT_NE(service, nullptr);
    HWND list = GetDlgItem(service, 1004);
    ASSERT_TRUE(AddPrinterRow(service, "Office Laser", "USB001", 0));
    ASSERT_TRUE(AddPrinterRow(service, "Label Printer", "DOT4_002", 0));
    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);

    EXPECT_FALSE(MatchPrinterRow(service, "Office Laser", "USB002"));
    EXPECT_EQ(ListView_GetItemState(list, 0, LVIS_SELECTED), static_cast<UINT>(LVIS_SELECTED));
    EXPECT_FALSE(MatchPrinterRow(service, "Office Laser", "usb001"));  // the port must match exactly
    EXPECT_TRUE(MatchPrinterRow(service, "office laser", "USB001"));   // the name in any case
    EXPECT_EQ(ListView_GetItemState(list, 0, LVIS_SELECTED), 0u);
    EXPECT_FALSE(MatchPrinterRow(service, "Nobody", "USB001"));

    PnxUnRegisterNotification(service);
    TakeQuitMessage();
    ResetLibStateForTests();
}

TEST(PrinterList, EnumerationRejectsOtherLevels) {
    DWORD count = 99;
    EXPECT_FALSE(EnumLocalPrinters(4, &count));
    EXPECT_EQ(count, 0u);
}

}  // namespace
