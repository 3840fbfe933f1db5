#include "device_entry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "connect_marks.h"
#include "default_property.h"
#include "device_status.h"
#include "device_test_support.h"
#include "registry_test_key.h"
#include "server_devices.h"
#include "settings_store.h"

namespace {

using DeviceEntries = DeviceTest;

TEST_F(DeviceEntries, ANewDeviceStartsWithTheDefaultsAndItsOwnNameAsFavorite) {
    DeviceEntry* device = Create(Named("Photo Printer"));
    ASSERT_NE(device, nullptr);
    EXPECT_STREQ(device->property->favoriteName, "Photo Printer");
    EXPECT_EQ(device->property->waitTimer, kDefaultWaitTimer);
    EXPECT_EQ(device->property->comPortNumber, kDefaultComPortNumber);
    EXPECT_EQ(device->serverWindow, server->serverWindow);
    HWND list = ServerDeviceList(server->serverWindow);
    ASSERT_EQ(ListView_GetItemCount(list), 1);
    EXPECT_EQ((ListView_GetItemState(list, 0, LVIS_STATEIMAGEMASK) >> 12), static_cast<UINT>(kRowStateSeen));
}

TEST_F(DeviceEntries, TheFirstMatchingExtendedDefaultIsTaken) {
    PropertyInfoEx table[3] = {};
    table[0].matchFlags = kMatchVendor | kMatchProduct;  // full product id: no match
    table[0].vid = 0x0A5C;
    table[0].pid = 0x0101;
    table[0].property.waitTimer = 1;
    table[1].matchFlags = kMatchVendor | kMatchProduct | kMatchProductLowByte;
    table[1].vid = 0x0A5C;
    table[1].pid = 0xFF01;
    table[1].property.waitTimer = 2;
    table[1].property.favoriteName = const_cast<char*>("From Table");
    table[2].matchFlags = kMatchVendor;
    table[2].vid = 0x0A5C;
    table[2].property.waitTimer = 3;
    ASSERT_EQ(PnxSetDefaultPropertyInfoEx(service, table, 3, sizeof table), 1);
    DeviceEntry* device = Create(Named("Disk"));  // vid 0x0A5C pid 0x0001
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->property->waitTimer, 2u);
    EXPECT_STREQ(device->property->favoriteName, "From Table");

    PropertyInfoEx high = {};
    high.matchFlags = kMatchProduct | kMatchProductHighByte | kMatchProductLowByte;
    high.pid = 0x00FF;  // high byte 0x00 matches 0x0001 whatever the low byte
    EXPECT_TRUE(DefaultEntryMatches(high, 0x1234, 0x0001));
    high.pid = 0x0101;
    EXPECT_FALSE(DefaultEntryMatches(high, 0x1234, 0x0001));
}

TEST_F(DeviceEntries, AStoredConnectMarkMakesTheDeviceWaitForAReconnectOnce) {
    RegistryTestKey key("DeviceEntries");
    UseStore(key.location());
    SettingsStore store = CurrentSettingsStore();
    ASSERT_EQ(store.kind, qz::SettingsLocation::kRegistry);
    DeviceEntry* first = Create(Named("Disk"));
    ASSERT_NE(first, nullptr);
    std::string deviceKey;
    {
        LibraryLock lock;
        deviceKey = DeviceKeyOfLocked(first);
        EXPECT_EQ(first->pending, 0);
        DeleteDeviceRowLocked(server->serverWindow, first);
    }
    ASSERT_TRUE(DeviceKeyExists(&store, deviceKey.c_str()));  // recorded when first seen
    ASSERT_TRUE(SetConnectMark(&store, deviceKey.c_str()));
    DeviceEntry* again = Create(Named("Disk"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->pending & kPendingAutoConnect, kPendingAutoConnect);
    EXPECT_EQ(again->info->statusEx & kDeviceStatusExWrongDisconnect, kDeviceStatusExWrongDisconnect);
    EXPECT_FALSE(QueryConnectMark(&store, deviceKey.c_str()));
}

TEST_F(DeviceEntries, ASearchStartResetsStatusesAndDropsVanishedDevices) {
    DeviceEntry* present = Create(Named("Present", "1-1"));
    DeviceEntry* gone = Create(Named("Gone", "1-2"));
    ASSERT_TRUE(present && gone);
    gone->info->status = kDeviceStatusNoDevice;
    present->info->status = kDeviceStatusConnected;
    RefreshDeviceStatuses(server->serverWindow, kRefreshSearchStart);
    auto deleted = Notes(PNXN_DEVICE, PNXET_DELETE);
    auto changed = Notes(PNXN_DEVICE, PNXET_CHANGE);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].lParam, reinterpret_cast<LPARAM>(gone));
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].flags, 4);
    EXPECT_EQ(present->info->status, kDeviceStatusGetStatus);
    EXPECT_EQ(present->info->previousStatus, kDeviceStatusConnected);
    {
        LibraryLock lock;
        EXPECT_EQ(DeviceEntriesLocked(server->serverWindow), std::vector<DeviceEntry*>{present});
    }
    RefreshDeviceStatuses(server->serverWindow, kRefreshDestroy);
    EXPECT_EQ(Notes(PNXN_DEVICE, PNXET_DELETE).size(), 2u);
    EXPECT_EQ(DeviceCount(server), 0);
    EXPECT_EQ(DeviceHeapBlocksInUse(), blocksBefore);
}

// A client may call the exports from a second thread while its GUI thread, which owns the
// library's lists, waits for the library lock (a timer, a handler). The second thread must
// never ask those lists while it holds the lock, or both threads stop for good; a watchdog
// ends the program should they.
TEST_F(DeviceEntries, ExportsOnASecondThreadNeverWaitForTheGuiThreadUnderTheLock) {
    DeviceEntry* device = Create(Named("Shared"));
    ASSERT_NE(device, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([done] {
        if (WaitForSingleObject(done, 60000) == WAIT_OBJECT_0) return;
        std::fprintf(stderr, "deadlock: the export thread and the GUI thread wait for each other\n");
        std::fflush(stderr);
        std::_Exit(3);
    });
    std::thread caller([&] {
        for (int i = 0; i < 500; ++i) {
            UsbDeviceInfo info = {};
            PropertyInfo property = {};
            PnxGetUsbDeviceInfo(service, device, &info, &property);
            PnxFreeUsbDeviceInfo(service, &info, &property);
            HPnxDv found = nullptr;
            PnxEnumUsbDevices(service, server, 0, &found);
        }
        SetEvent(done);
    });
    while (WaitForSingleObject(done, 0) != WAIT_OBJECT_0) {
        { LibraryLock lock; }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    caller.join();
    watchdog.join();
    CloseHandle(done);
}

}  // namespace
