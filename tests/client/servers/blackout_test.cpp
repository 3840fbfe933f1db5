// The blackout settings exports and the blackout tick against the simulated bus driver.
#include "blackout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bus_driver.h"
#include "session_test_support.h"
#include "sim_bus_client.h"

namespace {

using BlackoutInfoExports = RegisteredLibraryTest;

TEST_F(BlackoutInfoExports, CopyBothValuesAndRefuseNullArguments) {
    ResetBlackoutInfo();
    BlackoutInfo info = {1, 1};
    EXPECT_EQ(PnxGetBlackoutInfo(service, &info), 1);
    EXPECT_EQ(info.interval, 5000u);
    EXPECT_EQ(info.limit, 5000u);
    EXPECT_EQ(PnxGetBlackoutInfo(nullptr, &info), 0);
    EXPECT_EQ(PnxGetBlackoutInfo(service, nullptr), 0);
    EXPECT_EQ(PnxSetBlackoutInfo(nullptr, &info), 0);
    EXPECT_EQ(PnxSetBlackoutInfo(service, nullptr), 0);
    BlackoutInfo set = {1234, 70000};
    EXPECT_EQ(PnxSetBlackoutInfo(service, &set), 1);
    EXPECT_EQ(PnxGetBlackoutInfo(service, &info), 1);
    EXPECT_EQ(info.interval, 1234u);
    EXPECT_EQ(info.limit, 70000u);
    ResetBlackoutInfo();
}

class BlackoutTick : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        ResetBlackoutInfo();
        tag_ = GetCurrentProcessId();
        ASSERT_TRUE(main_.ok()) << "the simulated bus driver is not running";
        ASSERT_TRUE(main_.OpenBus(tag_));
        bus_ = std::make_unique<zksim::SimBusClient>(zksim::BusName(tag_));
        ASSERT_TRUE(OpenBusDriver(zksim::BusName(tag_).c_str()));
    }
    void TearDown() override {
        SessionTest::TearDown();
        ResetBlackoutInfo();
        CloseBusDriver();
        bus_.reset();
        main_.CloseBus(tag_);
    }
    ServerEntry* WatchedServer(bool watch) {
        g_lib.specialNotification = watch ? kSpecialBlackoutWatch : 0;
        return AddServer(Reply().Ipv4(10, 77, 0, 9).Mac({2, 0, 0, 0, 7, watch ? uint8_t(1) : uint8_t(0)}));
    }
    void Tick(ServerEntry* entry) { SendMessageA(entry->serverWindow, WM_TIMER, kTimerBlackout, 0); }
    size_t BlackoutNotices() { return Notes(PNXN_NETWORK, 3).size(); }
    uint32_t Server() { return inet_addr("10.77.0.9"); }

    zksim::SimBusClient main_;
    std::unique_ptr<zksim::SimBusClient> bus_;
    uint32_t tag_ = 0;
};

TEST_F(BlackoutTick, OnlyATimeAboveTheLimitIsReported) {
    BlackoutInfo info = {5000, 300};
    ASSERT_EQ(PnxSetBlackoutInfo(service, &info), 1);
    ServerEntry* entry = WatchedServer(true);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->record->blackoutWatch);
    ASSERT_TRUE(bus_->Attach(Server(), "2-1", L"USB\\VID_17E9&PID_0001\\1"));
    AddDevice(entry, {.locations = "2-1", .action = 1, .status = kDeviceStatusConnected, .blackoutWatch = true,
                      .name = "Display"});
    struct Case {
        uint16_t time;
        bool notice;
    } cases[] = {{0, false}, {300, false}, {301, true}, {5000, true}};
    for (const Case& c : cases) {
        ASSERT_TRUE(bus_->SetBlackout(Server(), "2-1", c.time));
        client.received.clear();
        Tick(entry);
        EXPECT_EQ(BlackoutNotices(), c.notice ? 1u : 0u) << c.time;
        char line[128];
        std::snprintf(line, sizeof line, "*** Blackout(%d) - Device = Display, Location = 2-1, Time = %d ***",
                      c.notice ? 1 : 0, c.time);
        EXPECT_TRUE(Logged(entry->serverWindow, line)) << line;
    }
}

TEST_F(BlackoutTick, DevicesOutsideTheWatchAreNotAskedAndTheTimerStartsOnce) {
    ServerEntry* entry = WatchedServer(true);
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(bus_->Attach(Server(), "2-1", L"USB\\VID_17E9&PID_0001\\1"));
    ASSERT_TRUE(bus_->SetBlackout(Server(), "2-1", 9000));
    AddDevice(entry, {.locations = "2-1", .action = 1, .status = kDeviceStatusConnected});           // not watched
    AddDevice(entry, {.locations = "2-1", .busy = 1, .action = 1, .status = 2, .blackoutWatch = true});  // busy
    AddDevice(entry, {.locations = "2-1", .action = 0, .status = 2, .blackoutWatch = true});          // no action
    AddDevice(entry, {.locations = "2-1", .action = 1, .status = 3, .blackoutWatch = true});          // other PC
    Tick(entry);
    EXPECT_EQ(BlackoutNotices(), 0u);
    EXPECT_TRUE(bus_->Log(0).empty());

    StartBlackoutTimer(entry->serverWindow);
    StartBlackoutTimer(entry->serverWindow);
    EXPECT_TRUE(entry->record->blackoutTimer);
    int starts = 0;
    for (const std::string& line : LogLines(entry->serverWindow)) starts += line == "*** Blackout Timer Start! ***";
    EXPECT_EQ(starts, 1);
    StopBlackoutTimer(entry->serverWindow);
    EXPECT_TRUE(Logged(entry->serverWindow, "*** Blackout Timer End! ***"));
}

TEST_F(BlackoutTick, WithoutTheSpecialOptionNothingIsAskedOrStarted) {
    ServerEntry* entry = WatchedServer(false);
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->record->blackoutWatch);
    ASSERT_TRUE(bus_->Attach(Server(), "2-1", L"USB\\VID_17E9&PID_0001\\1"));
    ASSERT_TRUE(bus_->SetBlackout(Server(), "2-1", 9000));
    AddDevice(entry, {.locations = "2-1", .action = 1, .status = 2, .blackoutWatch = true});
    Tick(entry);
    EXPECT_EQ(BlackoutNotices(), 0u);
    EXPECT_TRUE(bus_->Log(0).empty());
    StartBlackoutTimer(entry->serverWindow);
    EXPECT_FALSE(entry->record->blackoutTimer);
}

}  // namespace
