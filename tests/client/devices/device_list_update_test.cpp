#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "auto_connect_list.h"
#include "device_list_read.h"
#include "device_list_reply.h"
#include "device_list_update.h"
#include "device_test_support.h"
#include "lib_state.h"
#include "notify.h"
#include "server_devices.h"

namespace {

constexpr uint8_t kOwnPc[4] = {10, 77, 0, 1};
constexpr uint8_t kOtherPc[4] = {10, 77, 0, 200};

class DeviceListUpdate : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        uint32_t own;
        std::memcpy(&own, kOwnPc, 4);
        LibraryLock lock;
        server->record->localAddress = own;
    }

    static ReplyDevice Dev(const char* name, const char* location, const uint8_t* user = nullptr) {
        ReplyDevice d = Named(name, location);
        if (user) std::memcpy(d.user, user, 4);
        return d;
    }

    static DeviceReply Reply(std::initializer_list<ReplyDevice> list) {
        DeviceReply reply(DeviceListForm::ExII);
        for (const ReplyDevice& d : list) reply.Add(d);
        return reply;
    }

    // Runs a reply through the update and hands back the candidates it collected.
    AutoDeviceCandidates Update(const DeviceReply& reply) {
        client.received.clear();
        ParsedDeviceList fresh =
            ReadDeviceListReply(server->serverWindow, reply.form(), reply.bytes().data(), reply.bytes().size());
        AutoDeviceCandidates lists;
        UpdateDeviceList(server->serverWindow, fresh, lists);
        return lists;
    }

    std::vector<DeviceEntry*> Rows() {
        LibraryLock lock;
        return DeviceEntriesLocked(server->serverWindow);
    }

    DeviceEntry* RowNamed(const char* name) {
        for (DeviceEntry* d : Rows()) {
            if (std::strcmp(d->info->name, name) == 0) return d;
        }
        return nullptr;
    }

    static bool Holds(const std::vector<AutoDeviceItem>& list, const DeviceEntry* device, uint16_t reason) {
        for (const AutoDeviceItem& item : list) {
            if (item.device == reinterpret_cast<uintptr_t>(device) && item.type == reason) return true;
        }
        return false;
    }
};

TEST_F(DeviceListUpdate, NewDevicesAreAddedOnceAndOnlyChangesAreReported) {
    Update(Reply({Dev("Disk", "1-1"), Dev("Cam", "1-2", kOtherPc)}));
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(Notes(PNXN_DEVICE, PNXET_NEW).size(), 2u);
    EXPECT_STREQ(RowNamed("Cam")->info->userPcName, "10.77.0.200");
    EXPECT_EQ(RowNamed("Disk")->info->status, kDeviceStatusFree);

    Update(Reply({Dev("Disk", "1-1"), Dev("Cam", "1-2", kOtherPc)}));
    EXPECT_EQ(Rows().size(), 2u);
    EXPECT_TRUE(client.received.empty());

    Update(Reply({Dev("Disk", "1-1", kOtherPc), Dev("Cam", "1-2")}));
    auto changed = Notes(PNXN_DEVICE, PNXET_CHANGE);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].flags, kDeviceChangeStatus);
    DeviceEntry* disk = RowNamed("Disk");
    EXPECT_EQ(disk->info->status, kDeviceStatusOtherPc);
    EXPECT_EQ(disk->info->previousStatus, kDeviceStatusFree);
    EXPECT_STREQ(disk->info->userPcName, "10.77.0.200");
    EXPECT_STREQ(RowNamed("Cam")->info->userPcName, "");
}

TEST_F(DeviceListUpdate, VanishedDevicesAreKeptAsNoDeviceUnlessRemoveMissingIsSet) {
    Update(Reply({Dev("Disk", "1-1"), Dev("Cam", "1-2")}));
    Update(Reply({Dev("Disk", "1-1")}));
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(RowNamed("Cam")->info->status, kDeviceStatusNoDevice);
    EXPECT_EQ(Notes(PNXN_DEVICE, PNXET_CHANGE).size(), 1u);

    // Zero devices: one change per device not already missing.
    Update(DeviceReply(DeviceListForm::ExII));
    EXPECT_EQ(Notes(PNXN_DEVICE, PNXET_CHANGE).size(), 1u);
    EXPECT_EQ(RowNamed("Disk")->info->status, kDeviceStatusNoDevice);

    Update(Reply({Dev("Disk", "1-1"), Dev("Cam", "1-2")}));
    {
        LibraryLock lock;
        server->record->removeMissing = true;
    }
    Update(Reply({Dev("Disk", "1-1")}));
    ASSERT_EQ(Notes(PNXN_DEVICE, PNXET_DELETE).size(), 1u);
    EXPECT_EQ(Rows().size(), 1u);
    Update(DeviceReply(DeviceListForm::ExII));
    EXPECT_EQ(Rows().size(), 0u);
    EXPECT_FALSE(server->record->removeMissing);  // a reply without devices ends it
    // A deleted entry is released once its Auto Application thread has let go of it.
    EXPECT_TRUE(PumpUntil([&] { return DeviceHeapBlocksInUse() == blocksBefore; }, kEventWait));
}

TEST_F(DeviceListUpdate, ARegroupedCompositeDeviceReplacesTheOldRow) {
    Update(Reply({Dev("Hub", "1M1")}));
    DeviceEntry* old = Rows().at(0);
    ReplyDevice second = Dev("Hub", "1M2");
    second.port = "2";
    Update(Reply({Dev("Hub", "1M1"), second}));
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0]->info->interfaceCount, 2u);
    // The new entry may reuse the old one's memory, so the notices tell the replacement.
    auto deleted = Notes(PNXN_DEVICE, PNXET_DELETE);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].lParam, reinterpret_cast<LPARAM>(old));
    auto added = Notes(PNXN_DEVICE, PNXET_NEW);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].lParam, reinterpret_cast<LPARAM>(Rows()[0]));
    EXPECT_FALSE(server->record->deviceDeleteMark);
}

TEST_F(DeviceListUpdate, AutomaticDevicesGoOnTheConnectListWhenTheyBecomeFree) {
    Update(Reply({Dev("Disk", "1-1", kOtherPc)}));
    DeviceEntry* disk = Rows().at(0);
    EXPECT_TRUE(Update(Reply({Dev("Disk", "1-1")})).connect.empty());
    disk->property->property = kPropertyAutomatic | kPropertyAutoConnect;
    disk->pending = kPendingAutoConnect;
    Update(Reply({Dev("Disk", "1-1", kOtherPc)}));
    AutoDeviceCandidates lists = Update(Reply({Dev("Disk", "1-1")}));
    ASSERT_EQ(lists.connect.size(), 1u);
    EXPECT_TRUE(Holds(lists.connect, disk, kAutoReasonAutoConnect));
    EXPECT_TRUE(lists.serverOption.empty());

    disk->pending = kPendingAutoPrinter;
    Update(Reply({Dev("Disk", "1-1", kOtherPc)}));
    EXPECT_TRUE(Holds(Update(Reply({Dev("Disk", "1-1")})).connect, disk, kAutoReasonAutoPrinter));
}

TEST_F(DeviceListUpdate, AnApplicationRequestOfAnUnchangedFreeDeviceIsOfferedOnce) {
    Update(Reply({Dev("Disk", "1-1")}));
    DeviceEntry* disk = Rows().at(0);
    disk->pending = kPendingApplication;
    AutoDeviceCandidates lists = Update(Reply({Dev("Disk", "1-1")}));
    EXPECT_TRUE(Holds(lists.connect, disk, kAutoReasonApplication));
    EXPECT_EQ(disk->pending, 0);
    EXPECT_TRUE(Update(Reply({Dev("Disk", "1-1")})).connect.empty());
}

TEST_F(DeviceListUpdate, AnUnexpectedlyFreedDeviceIsWarnedAndMarkedForReconnect) {
    Update(Reply({Dev("Disk", "1-1", kOwnPc)}));
    DeviceEntry* disk = Rows().at(0);
    ASSERT_EQ(disk->info->status, kDeviceStatusConnected);
    disk->connectAction = 1;
    disk->property->property = kPropertyReconnect;
    AutoDeviceCandidates lists = Update(Reply({Dev("Disk", "1-1")}));
    EXPECT_TRUE(disk->info->statusEx & kDeviceStatusExWrongDisconnect);
    EXPECT_TRUE(disk->pending & kPendingAutoConnect);
    EXPECT_TRUE(Holds(lists.connect, disk, kAutoReasonAutoConnect));
    EXPECT_TRUE(Logged(server->serverWindow, "### Warning Disconnect ###"));
}

TEST_F(DeviceListUpdate, AKeepAliveLossDisconnectsAUsedDeviceEvenWhenNothingChanged) {
    Update(Reply({Dev("Disk", "1-1", kOwnPc), Dev("Cam", "1-2", kOwnPc)}));
    DeviceEntry* disk = RowNamed("Disk");
    DeviceEntry* cam = RowNamed("Cam");
    disk->keepAliveLost = 1;
    cam->keepAliveLost = 1;
    ReplyDevice changedCam = Dev("Cam", "1-2", kOwnPc);
    changedCam.flags |= kReplyFlagPermission;
    AutoDeviceCandidates lists = Update(Reply({Dev("Disk", "1-1", kOwnPc), changedCam}));
    EXPECT_TRUE(Holds(lists.disconnect, disk, kAutoReasonKeepAlive));
    EXPECT_TRUE(Holds(lists.disconnect, cam, kAutoReasonKeepAlive));
    EXPECT_EQ(lists.disconnect.size(), 2u);
    EXPECT_EQ(disk->keepAliveLost, 0);
    EXPECT_EQ(cam->keepAliveLost, 0);
    EXPECT_TRUE(Update(Reply({Dev("Disk", "1-1", kOwnPc), changedCam})).disconnect.empty());
}

TEST_F(DeviceListUpdate, CandidateListsHoldEveryRowThatMatches) {
    // Two rows of one device (a second entry made directly) both wait for an application.
    Update(Reply({Dev("Disk", "1-1")}));
    DeviceEntry* twin = Create(Dev("Disk", "1-1"));
    ASSERT_NE(twin, nullptr);
    std::vector<DeviceEntry*> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    for (DeviceEntry* d : rows) d->pending = kPendingApplication;
    AutoDeviceCandidates lists = Update(Reply({Dev("Disk", "1-1")}));
    EXPECT_EQ(lists.connect.size(), 2u);
    EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(DeviceListUpdate, NewPrinterDevicesAreCollectedUnlessTheirSettingsRefuse) {
    ReplyDevice printer = Dev("Printer", "1-1");
    printer.interfaceClass = kInterfaceClassPrinter;
    Update(Reply({printer, Dev("Disk", "1-2")}));
    DeviceEntry* p = RowNamed("Printer");
    AutoDeviceCandidates lists;
    {
        LibraryLock lock;
        CollectAutoConnectDevicesLocked(server->serverWindow, lists);
    }
    ASSERT_EQ(lists.newDevice.size(), 1u);
    EXPECT_TRUE(Holds(lists.newDevice, p, kAutoReasonNewDevice));
    p->property->printer |= kPrinterNoNewDevice;
    lists = {};
    {
        LibraryLock lock;
        CollectAutoConnectDevicesLocked(server->serverWindow, lists);
    }
    EXPECT_TRUE(lists.newDevice.empty());
}

TEST_F(DeviceListUpdate, TheDisplayRuleFollowsTheServersDisplayDevice) {
    ReplyDevice display = Dev("Dock", "1-1");
    display.vid = 0x17E9;
    display.pid = 0x4300;
    Update(Reply({display, Dev("Disk", "1-2"), Dev("Cam", "1-3", kOtherPc)}));
    DeviceEntry* dock = RowNamed("Dock");
    AutoDeviceCandidates lists;
    AddCandidate(lists.serverOption, dock, kAutoReasonAutoConnect);
    {
        LibraryLock lock;
        FilterAutoConnectDevicesLocked(server->serverWindow, kServerOptionDisplayRule, lists);
    }
    EXPECT_TRUE(lists.serverOption.empty());  // the display device waits for nothing

    dock->pending = kPendingAutoConnect;
    AddCandidate(lists.serverOption, dock, kAutoReasonAutoConnect);
    {
        LibraryLock lock;
        FilterAutoConnectDevicesLocked(server->serverWindow, kServerOptionDisplayRule, lists);
    }
    EXPECT_EQ(lists.serverOption.size(), 2u);  // every free device of the server
    EXPECT_TRUE(Holds(lists.serverOption, RowNamed("Disk"), kAutoReasonAutoConnect));

    lists = {};
    AddCandidate(lists.serverOption, RowNamed("Disk"), kAutoReasonAutoConnect);
    {
        LibraryLock lock;
        FilterAutoConnectDevicesLocked(server->serverWindow, kServerOptionOwnList | kServerOptionDisplayRule, lists);
    }
    EXPECT_TRUE(lists.serverOption.empty());
}

TEST_F(DeviceListUpdate, AnErrorMarksEveryDeviceAndARenewResetsThem) {
    Update(Reply({Dev("Disk", "1-1"), Dev("Cam", "1-2")}));
    client.received.clear();
    MarkServerDevicesError(server, kDeviceStatusError);
    EXPECT_EQ(Notes(PNXN_DEVICE, PNXET_CHANGE).size(), 2u);
    EXPECT_EQ(RowNamed("Disk")->info->status, kDeviceStatusError);
    client.received.clear();
    MarkServerDevicesError(server, kDeviceStatusError);
    EXPECT_TRUE(Notes(PNXN_DEVICE, PNXET_CHANGE).empty());
    RenewServerDevices(server->serverWindow);
    EXPECT_EQ(Notes(PNXN_DEVICE, PNXET_CHANGE).size(), 2u);
    EXPECT_EQ(RowNamed("Disk")->info->status, kDeviceStatusGetStatus);
}

}  // namespace

// A client handler may end the very server (or delete devices) the update is telling it
// about: the rest of the batch is passed over and nothing is touched after it.
TEST_F(DeviceListUpdate, AHandlerThatDeletesDevicesOrTheServerMidBatchCrashesNothing) {
    Update(Reply({Dev("One", "1-1"), Dev("Two", "1-2"), Dev("Three", "1-3")}));
    ASSERT_EQ(Rows().size(), 3u);
    DeviceEntry* two = RowNamed("Two");
    client.onNotify = [&](UINT message, const NotifyEvent* event, LPARAM lParam) {
        if (message != PNXN_DEVICE || !event || event->kind != PNXET_CHANGE || lParam == reinterpret_cast<LPARAM>(two)) return;
        LibraryLock lock;
        DeleteDeviceRowLocked(server->serverWindow, two);
    };
    const uint8_t other[4] = {10, 77, 0, 61};
    Update(Reply({Dev("One", "1-1", other), Dev("Two", "1-2", other), Dev("Three", "1-3", other)}));
    // "Two" went while One was told; it got no change notice of its own and comes back as a
    // new device from the same reply (its new entry may reuse the old address).
    size_t changes = 0, news = 0;
    for (const auto& r : client.received) {
        changes += r.message == PNXN_DEVICE && r.kind == PNXET_CHANGE;
        news += r.message == PNXN_DEVICE && r.kind == PNXET_NEW;
    }
    EXPECT_EQ(changes, 2u);
    EXPECT_EQ(news, 1u);
    ASSERT_NE(RowNamed("Two"), nullptr);

    client.onNotify = [&](UINT message, const NotifyEvent*, LPARAM) {
        if (message == PNXN_DEVICE && server) {
            ServerEntry* doomed = server;
            server = nullptr;  // the fixture must not touch it any more
            DestroyServerWindow(service, doomed);
        }
    };
    HWND window = server->serverWindow;
    {
        DeviceReply reply = Reply({Dev("One", "1-1"), Dev("Three", "1-3"), Dev("Four", "1-4")});
        ParsedDeviceList fresh = ReadDeviceListReply(window, reply.form(), reply.bytes().data(), reply.bytes().size());
        AutoDeviceCandidates lists;
        UpdateDeviceList(window, fresh, lists);
    }
    EXPECT_FALSE(IsWindow(window));
    client.onNotify = nullptr;
    // A deleted entry is released once its Auto Application thread has let go of it.
    EXPECT_TRUE(PumpUntil([&] { return DeviceHeapBlocksInUse() == blocksBefore; }, kEventWait));
}
