// The installation waits against the simulated bus driver: a bus of this program's own, which
// the library opens by name.
#include "install_wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "bus_driver.h"
#include "bus_driver_codes.h"
#include "device_test_support.h"
#include "sim_bus_client.h"

namespace {

class InstallWait : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        tag_ = GetCurrentProcessId();
        ASSERT_TRUE(main_.ok()) << "the simulated bus driver is not running (bus_driver_install)";
        ASSERT_TRUE(main_.OpenBus(tag_));
        bus_ = std::make_unique<zksim::SimBusClient>(zksim::BusName(tag_));
        ASSERT_TRUE(bus_->ok());
        ASSERT_TRUE(OpenBusDriver(zksim::BusName(tag_).c_str()));
    }
    void TearDown() override {
        CloseBusDriver();
        bus_.reset();
        main_.CloseBus(tag_);
        DeviceTest::TearDown();
    }
    bool LoggedHere(const std::string& line) { return Logged(server->serverWindow, line); }

    uint32_t tag_ = 0;
    zksim::SimBusClient main_;
    std::unique_ptr<zksim::SimBusClient> bus_;
};

// The bus id wait gives up as a Plug and Play failure only when the driver call itself failed
// for a port the driver no longer holds; a driver that answers without an id is asked again.
TEST_F(InstallWait, OnlyAFailedDriverCallEndsTheBusIdWaitAsAPnpFailure) {
    DeviceEntry* device = Create(Named("Held", "1-1"));
    ASSERT_NE(device, nullptr);
    uint32_t address;
    {
        LibraryLock lock;
        device->info->status = kDeviceStatusConnected;  // in use here, no bus id stored
        address = server->record->info->ipAddress;
    }
    ASSERT_TRUE(bus_->Attach(address, "1-1", L"", 1));

    EXPECT_FALSE(WaitZkuptpDeviceId(server->serverWindow, device, true));
    EXPECT_TRUE(LoggedHere("  Fail Device ID ..."));
    EXPECT_FALSE(LoggedHere("  PnP is Failed(Device ID) ..."));

    ASSERT_TRUE(bus_->Fail(ZKUPTP_IOCTL_PORT_DEVICE_ID, 1));
    EXPECT_FALSE(WaitZkuptpDeviceId(server->serverWindow, device, true));
    EXPECT_TRUE(LoggedHere("  PnP is Failed(Device ID) ..."));
}

}  // namespace
