// PC names of other PCs and this PC's address toward a server.
#include "server_names.h"

#include <gtest/gtest.h>

#include <string>

#include "session_test_support.h"
#include "text_util.h"

namespace {

TEST(PcNames, TheFirstLabelOfTheHostNameOrTheAddressText) {
    uint32_t address = inet_addr("10.77.0.200");
    EXPECT_EQ(PcNameFromHostName("office-pc.lab.example", address), "office-pc");
    EXPECT_EQ(PcNameFromHostName("plain", address), "plain");
    EXPECT_EQ(PcNameFromHostName(std::string(80, 'w').c_str(), address), std::string(64, 'w'));
    EXPECT_EQ(PcNameFromHostName("localhost", address), "10.77.0.200");
    EXPECT_EQ(PcNameFromHostName("LOCALHOST.localdomain", address), "10.77.0.200");
    EXPECT_EQ(PcNameFromHostName(".lab", address), "10.77.0.200");
    EXPECT_EQ(PcNameFromHostName("", address), "10.77.0.200");
    EXPECT_EQ(PcNameFromHostName(nullptr, address), "10.77.0.200");
}

class PcNameWindow : public SessionTest {};

TEST_F(PcNameWindow, ANameReachesOnlyTheDevicesStillUsedByThatPc) {
    ServerEntry* entry = AddServer(Reply());
    ASSERT_NE(entry, nullptr);
    uint32_t other = inet_addr("10.77.0.200");
    uint32_t third = inet_addr("10.77.0.201");
    DeviceEntry* used = AddDevice(entry, {.status = kDeviceStatusOtherPc, .user = other});
    DeviceEntry* alsoUsed = AddDevice(entry, {.status = kDeviceStatusOtherPc, .user = other});
    DeviceEntry* byThird = AddDevice(entry, {.status = kDeviceStatusOtherPc, .user = third});
    DeviceEntry* freed = AddDevice(entry, {.status = kDeviceStatusFree, .user = other});
    HWND window = entry->serverWindow;

    ASSERT_TRUE(PostPcNameResult(window, other, std::string(70, 'n')));
    ASSERT_TRUE(PumpUntil([&] { return used->info->userPcName[0] != '\0'; }, kEventWait));
    EXPECT_EQ(std::string(used->info->userPcName), std::string(64, 'n'));
    EXPECT_EQ(std::string(alsoUsed->info->userPcName), std::string(64, 'n'));
    EXPECT_STREQ(byThird->info->userPcName, "");
    EXPECT_STREQ(freed->info->userPcName, "");

    // A result whose window went away is dropped, never applied elsewhere.
    ReleaseTestDevices();
    DestroyServerWindow(service, entry);
    EXPECT_FALSE(PostPcNameResult(window, other, "late"));
    PumpUntil([] { return false; }, 50);
}

TEST_F(PcNameWindow, TheLookUpStartsOnlyForADeviceOfTheWindowUsedByAnotherPc) {
    ServerEntry* entry = AddServer(Reply());
    ServerEntry* second = AddServer(Reply().Mac({2, 0, 0, 0, 0, 2}).Ipv4(10, 77, 0, 11));
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(second, nullptr);
    DeviceEntry* used = AddDevice(entry, {.status = kDeviceStatusOtherPc, .user = inet_addr("127.0.0.1")});
    DeviceEntry* mine = AddDevice(entry, {.status = kDeviceStatusConnected, .user = inet_addr("10.77.0.1")});
    DeviceEntry* elsewhere = AddDevice(second, {.status = kDeviceStatusOtherPc, .user = inet_addr("127.0.0.1")});
    EXPECT_TRUE(StartPcNameLookup(entry->serverWindow, reinterpret_cast<WPARAM>(used)));
    EXPECT_FALSE(StartPcNameLookup(entry->serverWindow, reinterpret_cast<WPARAM>(mine)));
    EXPECT_FALSE(StartPcNameLookup(entry->serverWindow, reinterpret_cast<WPARAM>(elsewhere)));
    EXPECT_FALSE(StartPcNameLookup(entry->serverWindow, 0));
    EXPECT_FALSE(StartPcNameLookup(entry->serverWindow, reinterpret_cast<WPARAM>(&client)));
    // 127.0.0.1 is "localhost": its name is only the address text and nothing changes.
    PumpUntil([] { return false; }, 300);
    EXPECT_STREQ(used->info->userPcName, "");
}

TEST_F(PcNameWindow, PcAddressIsStoredAndLoggedWhenItChanges) {
    ServerEntry* entry = AddServer(Reply().Ipv4(10, 77, 0, 2));
    ASSERT_NE(entry, nullptr);
    uint32_t address = 1, mask = 1, segment = 1;
    EXPECT_EQ(PnxGetPcAddress(nullptr, nullptr, &address, &mask, &segment), 0);
    EXPECT_EQ(address, 1u);

    ASSERT_EQ(PnxGetPcAddress(service, entry, &address, &mask, &segment), 1);
    EXPECT_EQ(segment, address & mask);
    EXPECT_EQ(entry->record->localAddress, address);
    EXPECT_EQ(entry->record->localMask, mask);
    EXPECT_EQ(entry->record->localSegment, segment);
    EXPECT_EQ(LocalAddressToward(inet_addr("10.77.0.2")), address);
    EXPECT_TRUE(Logged(service, "PnxGetPcAddress()"));
    EXPECT_TRUE(Logged(service, "  PC Address : " + Ipv4Text(address)));
    if (address != 0) {
        EXPECT_TRUE(Logged(entry->serverWindow, "  *** Change PC Address(API) !! ***"));
    }
    SendMessageA(GetDlgItem(entry->serverWindow, kIdLogList), LB_RESETCONTENT, 0, 0);
    ASSERT_EQ(PnxGetPcAddress(nullptr, entry, nullptr, nullptr, nullptr), 1);
    EXPECT_FALSE(Logged(entry->serverWindow, "  *** Change PC Address(API) !! ***"));
}

}  // namespace
