#include "rwp_commands.h"

#include <gtest/gtest.h>

#include <string>

TEST(RwpCommands, NamedRowsHoldTheirTexts) {
    EXPECT_STREQ(RwpCommandText(0), "GET CONTEXT");
    EXPECT_STREQ(RwpCommandText(kRwpScannerConnect), "EXEC SCANNER CONNECT:");
    EXPECT_STREQ(RwpCommandText(kRwpScannerDisconnect), "EXEC SCANNER DISCONNECT:");
    EXPECT_STREQ(RwpCommandText(kRwpUsbDeviceList), "GET USB_DEVICE_LIST");
    EXPECT_STREQ(RwpCommandText(kRwpStorageList), "GET STORAGE_LIST");
    EXPECT_STREQ(RwpCommandText(kRwpSafeRemove), "EXEC SAFE REMOVE:");
    EXPECT_STREQ(RwpCommandText(kRwpUsbDeviceListEx), "GET USB_DEVICE_LIST_EX");
    EXPECT_STREQ(RwpCommandText(kRwpUsbDeviceListExII), "GET USB_DEVICE_LIST_EX_II");
    EXPECT_EQ(RwpCommandText(-1), nullptr);
    EXPECT_EQ(RwpCommandText(static_cast<int>(RwpCommandCount())), nullptr);
    // Every text must leave room in the 80-byte field for its terminator.
    for (size_t i = 0; i < RwpCommandCount(); ++i)
        EXPECT_LT(std::string(RwpCommandText(static_cast<int>(i))).size(), 80u);
}

TEST(RwpCommands, ZeroTimeoutMeansTheDefault) {
    SetRwpTimeout(20000);
    EXPECT_EQ(RwpTimeout(), 20000u);
    SetRwpTimeout(0);
    EXPECT_EQ(RwpTimeout(), 1000u);
}
