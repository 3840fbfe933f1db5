// The bus driver layer against the simulated bus driver (installed by bus_driver_install).
// Each test program opens a bus of its own in the driver and has the library open it by name,
// so the driver's call log holds exactly the calls this program's library made.
#include "bus_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "lib_test_support.h"
#include "log.h"
#include "messages.h"
#include "pnxscapi.h"
#include "sim_bus_client.h"

namespace {

const uint32_t kServer = [] {
    const uint8_t bytes[4] = {10, 77, 0, 9};
    uint32_t address;
    std::memcpy(&address, bytes, 4);
    return address;
}();
constexpr const char* kLocation = "1-2.3";
constexpr const wchar_t* kDeviceId = L"USB\\VID_04B8&PID_0005\\5&2A3B0C&0&1";

std::vector<uint8_t> PortBytes(uint32_t address, const char* location) {
    std::vector<uint8_t> bytes(20, 0);
    std::memcpy(bytes.data(), &address, 4);
    std::memcpy(bytes.data() + 4, location, std::strlen(location));
    return bytes;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> head, std::initializer_list<uint8_t> tail) {
    head.insert(head.end(), tail);
    return head;
}

ULONGLONG Elapsed(ULONGLONG start) { return GetTickCount64() - start; }

class BusDriver : public ::testing::Test {
protected:
    void SetUp() override {
        tag_ = GetCurrentProcessId();
        ASSERT_TRUE(main_.ok()) << "the simulated bus driver is not running (bus_driver_install)";
        ASSERT_TRUE(main_.OpenBus(tag_));
        bus_ = std::make_unique<zksim::SimBusClient>(zksim::BusName(tag_));
        ASSERT_TRUE(bus_->ok());
        ASSERT_TRUE(OpenBusDriver(zksim::BusName(tag_).c_str()));
    }
    void TearDown() override {
        CloseBusDriver();
        g_driverUnavailableSleepMs = kDriverUnavailableSleepMs;
        LogReset();
        if (logWindow_) DestroyWindow(logWindow_);
        bus_.reset();
        main_.CloseBus(tag_);
    }

    // The calls the library made since the last look.
    std::vector<zksim::LoggedCall> Calls() {
        std::vector<zksim::LoggedCall> calls = bus_->Log(seen_);
        if (!calls.empty()) seen_ = calls.back().sequence + 1;
        return calls;
    }
    zksim::LoggedCall OnlyCall(uint32_t code) {
        std::vector<zksim::LoggedCall> calls = Calls();
        EXPECT_EQ(calls.size(), 1u);
        if (calls.empty()) return {};
        EXPECT_EQ(calls[0].code, code);
        return calls[0];
    }

    // A window whose log list box collects the lines the layer logs for it.
    HWND LogWindow() {
        logWindow_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                     nullptr, nullptr);
        CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 100, 100, logWindow_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLogList)), nullptr, nullptr);
        LogSettings settings = {};
        settings.flags = kLogToDebugger;
        LogSetup(logWindow_, &settings);
        return logWindow_;
    }
    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        HWND list = GetDlgItem(logWindow_, kIdLogList);
        LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[512] = "";
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            lines.push_back(text);
        }
        return lines;
    }

    // The library loses its driver: registered under a name nothing answers to.
    void UseAbsentDriver() { OpenBusDriver(("zkuptp_absent_" + std::to_string(tag_)).c_str()); }

    uint32_t tag_ = 0;
    zksim::SimBusClient main_;
    std::unique_ptr<zksim::SimBusClient> bus_;
    uint32_t seen_ = 0;
    HWND logWindow_ = nullptr;
};

// --- The state wait ---

TEST_F(BusDriver, StateWaitReachesTheWantedStateAndLogsTheCall) {
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    uint32_t stuck = 0;
    EXPECT_EQ(WaitDriverState(LogWindow(), kServer, kLocation, ZKUPTP_STATE_ATTACHED, &stuck), 1);
    EXPECT_EQ(stuck, 0u);
    zksim::LoggedCall call = OnlyCall(ZKUPTP_IOCTL_WAIT_STATE);
    EXPECT_EQ(call.input, PortBytes(kServer, kLocation));
    EXPECT_EQ(call.outputLength, 4u);
    std::vector<std::string> expected = {
        "### DeviceIoControl() Start ###",
        "  IP Address: 10.77.0.9, Location: 1-2.3",
        "  DeviceIoControl(1) Status: 0x00000002, ReadSize: 0x00000004, LastError: 0x00000000",
        "### DeviceIoControl() End ###",
    };
    EXPECT_EQ(LogLines(), expected);
}

TEST_F(BusDriver, StateWaitAsksAgainUntilThePortChanges) {
    std::thread attach([this] {
        Sleep(1500);
        zksim::SimBusClient(zksim::BusName(tag_)).Attach(kServer, kLocation, kDeviceId);
    });
    EXPECT_EQ(WaitDriverState(LogWindow(), kServer, kLocation, ZKUPTP_STATE_ATTACHED, nullptr), 1);
    attach.join();
    EXPECT_GE(Calls().size(), 2u);
    std::vector<std::string> lines = LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  DeviceIoControl()..."), lines.end());
    EXPECT_EQ(lines.back(), "### DeviceIoControl() End ###");
}

TEST_F(BusDriver, StateWaitFailsAtOnceWhenTheCallFails) {
    ASSERT_TRUE(bus_->Fail(ZKUPTP_IOCTL_WAIT_STATE));
    // One call and no poll line: the wait ends with the first failed answer.
    EXPECT_EQ(WaitDriverState(LogWindow(), kServer, kLocation, ZKUPTP_STATE_FREE, nullptr), 0);
    EXPECT_EQ(Calls().size(), 1u);
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2].rfind("  DeviceIoControl(0) Status: 0x00000000, ReadSize: 0x00000000, LastError: 0x", 0), 0u);
}

TEST_F(BusDriver, StateWaitWithoutADriverIsAFailureAtOnce) {
    UseAbsentDriver();
    // Nothing logged: the wait gives up before its first call.
    EXPECT_EQ(WaitDriverState(LogWindow(), kServer, kLocation, ZKUPTP_STATE_ATTACHED, nullptr), 0);
    EXPECT_TRUE(LogLines().empty());
}

// The connect code counts a retry on "1 with the flag": the time-out is not a plain failure.
TEST_F(BusDriver, StateWaitTimesOutAfterTwentySecondsWithThePortStillFree) {
    ASSERT_TRUE(bus_->Hold(kServer, kLocation, ZKUPTP_STATE_FREE));
    uint32_t stuck = 0;
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(WaitDriverState(LogWindow(), kServer, kLocation, ZKUPTP_STATE_ATTACHED, &stuck), 1);
    EXPECT_GE(Elapsed(start), kDriverStateTimeoutMs);
    EXPECT_LT(Elapsed(start), kDriverStateTimeoutMs + 10000);  // the last poll, late on a loaded machine
    EXPECT_EQ(stuck, 1u);
    std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "  The state of ZKUPTP Driver does not change.");
    EXPECT_EQ(lines[lines.size() - 2], "  Time Out...");
    EXPECT_GE(Calls().size(), 20u);
}

// --- Port requests ---

TEST_F(BusDriver, LocationsLongerThanFifteenCharactersAreRefusedWithoutACall) {
    const char* tooLong = "1234567890123456";
    DriverPortRequest request;
    EXPECT_TRUE(MakePortRequest(kServer, "123456789012345", &request));
    EXPECT_FALSE(MakePortRequest(kServer, tooLong, &request));
    PortStatus status;
    std::wstring id;
    uint16_t over = 0, value = 0;
    EXPECT_EQ(WaitDriverState(nullptr, kServer, tooLong, 0, nullptr), 0);
    EXPECT_EQ(QueryPortStatus(kServer, tooLong, &status, true), 0);
    EXPECT_EQ(ForceReleasePort(kServer, tooLong), 0);
    EXPECT_FALSE(GetPortDeviceId(kServer, tooLong, &id));
    EXPECT_EQ(SetPortComPort(kServer, tooLong, 3), 0);
    EXPECT_EQ(QueryPortBlackout(kServer, tooLong, 100, &over, &value), 0);
    EXPECT_EQ(QueryPortStatus(kServer, nullptr, &status, false), 0);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(BusDriver, PortStatusShortAndLongForms) {
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId, ZKUPTP_STATE_SERIAL));
    ASSERT_TRUE(bus_->SetPortInfo(kServer, kLocation, 7, 0x11223344));
    PortStatus status = {};
    ASSERT_EQ(QueryPortStatus(kServer, kLocation, &status, false), 1);
    EXPECT_EQ(status.state, ZKUPTP_STATE_SERIAL);
    zksim::LoggedCall call = OnlyCall(ZKUPTP_IOCTL_PORT_STATUS);
    EXPECT_EQ(call.input, PortBytes(kServer, kLocation));
    EXPECT_EQ(call.outputLength, 4u);

    ASSERT_EQ(QueryPortStatus(kServer, kLocation, &status, true), 1);
    EXPECT_EQ(status.state, ZKUPTP_STATE_SERIAL);
    EXPECT_EQ(status.comPort, 7);
    EXPECT_EQ(status.value, 0x11223344u);
    EXPECT_EQ(OnlyCall(ZKUPTP_IOCTL_PORT_STATUS).outputLength, 16u);

    ASSERT_TRUE(bus_->Lose(kServer, kLocation));
    EXPECT_EQ(QueryPortStatus(kServer, kLocation, &status, false), 0);
}

TEST_F(BusDriver, ForceReleaseFreesThePort) {
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    EXPECT_EQ(ForceReleasePort(kServer, kLocation), 1);
    zksim::LoggedCall call = OnlyCall(ZKUPTP_IOCTL_FORCE_RELEASE);
    EXPECT_EQ(call.input, PortBytes(kServer, kLocation));
    EXPECT_EQ(call.outputLength, 4u);
    PortStatus status = {};
    ASSERT_EQ(QueryPortStatus(kServer, kLocation, &status, false), 1);
    EXPECT_EQ(status.state, ZKUPTP_STATE_FREE);
}

TEST_F(BusDriver, ComPortRequestCarriesTheNumberAndThreeZeroBytes) {
    EXPECT_EQ(SetPortComPort(kServer, kLocation, 12), 1);
    zksim::LoggedCall call = OnlyCall(ZKUPTP_IOCTL_SET_COM_PORT);
    EXPECT_EQ(call.input, Concat(PortBytes(kServer, kLocation), {12, 0, 0, 0}));
    EXPECT_EQ(call.outputLength, 4u);
    std::vector<SimPortInfo> ports = bus_->Ports();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].comPort, 12);
}

// --- Device ids ---

TEST_F(BusDriver, DeviceIdIsSizedThenRead) {
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    std::wstring id;
    ASSERT_TRUE(GetPortDeviceId(kServer, kLocation, &id));
    EXPECT_EQ(id, kDeviceId);
    std::vector<zksim::LoggedCall> calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].input, PortBytes(kServer, kLocation));
    EXPECT_EQ(calls[0].outputLength, 0u);
    EXPECT_EQ(calls[1].input, PortBytes(kServer, kLocation));
    EXPECT_EQ(calls[1].outputLength, std::wcslen(kDeviceId) * 2 + 2);

    // A port without a device has no id.
    EXPECT_FALSE(GetPortDeviceId(kServer, "9-9", &id));
    EXPECT_TRUE(id.empty());
}

TEST_F(BusDriver, DeviceIdWithLyingByteCountsIsRefused) {
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    std::wstring id;
    // An absurd size is not allocated, let alone asked for.
    ASSERT_TRUE(bus_->SetIdCounts(kServer, kLocation, 0x7FFFFFFF, ZKUPTP_SIM_NO_OVERRIDE));
    EXPECT_FALSE(GetPortDeviceId(kServer, kLocation, &id));
    EXPECT_EQ(Calls().size(), 1u);
    // A size smaller than the id: the driver fills the whole buffer and more text follows.
    ASSERT_TRUE(bus_->SetIdCounts(kServer, kLocation, 3, ZKUPTP_SIM_NO_OVERRIDE));
    EXPECT_FALSE(GetPortDeviceId(kServer, kLocation, &id));
    // A reading call that claims more bytes than it was given, or half a character.
    ASSERT_TRUE(bus_->SetIdCounts(kServer, kLocation, ZKUPTP_SIM_NO_OVERRIDE, 0x10000));
    EXPECT_FALSE(GetPortDeviceId(kServer, kLocation, &id));
    ASSERT_TRUE(bus_->SetIdCounts(kServer, kLocation, ZKUPTP_SIM_NO_OVERRIDE, 7));
    EXPECT_FALSE(GetPortDeviceId(kServer, kLocation, &id));
    EXPECT_TRUE(id.empty());
    // A size larger than the id is fine: the buffer was zero-filled.
    ASSERT_TRUE(bus_->SetIdCounts(kServer, kLocation, 200, ZKUPTP_SIM_NO_OVERRIDE));
    ASSERT_TRUE(GetPortDeviceId(kServer, kLocation, &id));
    EXPECT_EQ(id, kDeviceId);
}

TEST_F(BusDriver, LookupByDeviceIdSendsUtf16WithItsTerminator) {
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    DriverPortRequest port = {};
    ASSERT_EQ(LookupPortByDeviceId("usb\\vid_04b8&pid_0005\\5&2a3b0c&0&1", &port), 1);
    EXPECT_EQ(port.address, kServer);
    EXPECT_STREQ(port.location, kLocation);
    zksim::LoggedCall call = OnlyCall(ZKUPTP_IOCTL_LOOKUP_DEVICE_ID);
    const char* sent = "usb\\vid_04b8&pid_0005\\5&2a3b0c&0&1";
    ASSERT_EQ(call.input.size(), (std::strlen(sent) + 1) * 2);
    for (size_t i = 0; i <= std::strlen(sent); ++i) {
        EXPECT_EQ(call.input[2 * i], static_cast<uint8_t>(sent[i]));
        EXPECT_EQ(call.input[2 * i + 1], 0);
    }
    EXPECT_EQ(call.outputLength, 20u);

    EXPECT_EQ(LookupPortByDeviceId("USB\\VID_0000&PID_0000\\1", &port), 0);
    Calls();
    // 256 characters are sent; 257 would have to be cut into another id.
    EXPECT_EQ(LookupPortByDeviceId(std::string(256, 'A').c_str(), &port), 0);
    EXPECT_EQ(Calls().size(), 1u);
    EXPECT_EQ(LookupPortByDeviceId(std::string(257, 'A').c_str(), &port), 0);
    EXPECT_TRUE(Calls().empty());
}

// --- Blackout ---

TEST_F(BusDriver, BlackoutIsOverOnlyAboveTheLimitAndNeverAtZero) {
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    struct Case {
        uint16_t time, limit, over;
    } cases[] = {{5000, 5000, 0}, {5001, 5000, 1}, {0, 0, 0}, {1, 0, 1}, {4999, 5000, 0}};
    for (const Case& c : cases) {
        ASSERT_TRUE(bus_->SetBlackout(kServer, kLocation, c.time));
        uint16_t over = 9, value = 9;
        ASSERT_EQ(QueryPortBlackout(kServer, kLocation, c.limit, &over, &value), 1);
        EXPECT_EQ(value, c.time);
        EXPECT_EQ(over, c.over) << c.time << " against " << c.limit;
        zksim::LoggedCall call = OnlyCall(ZKUPTP_IOCTL_PORT_BLACKOUT);
        EXPECT_EQ(call.input, Concat(PortBytes(kServer, kLocation),
                                     {uint8_t(c.limit & 0xFF), uint8_t(c.limit >> 8), ZKUPTP_BLACKOUT_KIND, 0}));
    }
    uint16_t over = 0, value = 0;
    EXPECT_EQ(QueryPortBlackout(0, kLocation, 100, &over, &value), 0);
    EXPECT_TRUE(Calls().empty());
    ASSERT_TRUE(bus_->Fail(ZKUPTP_IOCTL_PORT_BLACKOUT));
    EXPECT_EQ(QueryPortBlackout(kServer, kLocation, 100, &over, &value), 0);
}

// --- Values passed through ---

TEST_F(BusDriver, OwnershipValuesRoundTripThroughTheExports) {
    ASSERT_EQ(PnxSetOwnershipInterface(nullptr, 0x12345678), 1);
    EXPECT_EQ(OnlyCall(ZKUPTP_IOCTL_SET_OWNERSHIP_IF).input, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    ASSERT_EQ(PnxSetOwnershipReleaseTime(nullptr, 30000), 1);
    EXPECT_EQ(OnlyCall(ZKUPTP_IOCTL_SET_OWNERSHIP_RELEASE).input, (std::vector<uint8_t>{0x30, 0x75, 0, 0}));

    uint32_t value = 0;
    ASSERT_EQ(PnxGetOwnershipInterface(nullptr, &value), 1);
    EXPECT_EQ(value, 0x12345678u);
    zksim::LoggedCall call = OnlyCall(ZKUPTP_IOCTL_GET_OWNERSHIP_IF);
    EXPECT_EQ(call.inputLength, 0u);
    EXPECT_EQ(call.outputLength, 4u);
    ASSERT_EQ(PnxGetOwnershipReleaseTime(nullptr, &value), 1);
    EXPECT_EQ(value, 30000u);
    EXPECT_EQ(OnlyCall(ZKUPTP_IOCTL_GET_OWNERSHIP_RELEASE).outputLength, 4u);

    ASSERT_TRUE(bus_->Fail(ZKUPTP_IOCTL_GET_OWNERSHIP_IF));
    value = 5;
    EXPECT_EQ(PnxGetOwnershipInterface(nullptr, &value), 0);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(PnxGetOwnershipInterface(nullptr, nullptr), 0);
}

TEST_F(BusDriver, HidFilterSendsEightBytesAndModeZeroSendsNothing) {
    const uint16_t values[2] = {0x04B8, 0x0005};
    EXPECT_EQ(PnxSetFilteringHIDevice(nullptr, 0, values), 0);
    EXPECT_EQ(PnxSetFilteringHIDevice(nullptr, 2, nullptr), 0);
    EXPECT_TRUE(Calls().empty());
    ASSERT_EQ(PnxSetFilteringHIDevice(nullptr, 2, values), 1);
    zksim::LoggedCall call = OnlyCall(ZKUPTP_IOCTL_SET_HID_FILTER);
    EXPECT_EQ(call.input, (std::vector<uint8_t>{8, 0, 2, 0, 0xB8, 0x04, 0x05, 0}));
    EXPECT_EQ(call.outputLength, 0u);
    SimValues driver = {};
    ASSERT_TRUE(bus_->Values(&driver));
    EXPECT_EQ(driver.hidMode, 2);
    EXPECT_EQ(driver.hidValues[0], 0x04B8);
    EXPECT_EQ(driver.hidCalls, 1u);
}

// --- The connection byte and the handle ---

TEST_F(BusDriver, ConnectionByteFollowsTheAttachedPorts) {
    EXPECT_EQ(PnxZkuptpConnection(nullptr), 0);
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    EXPECT_EQ(PnxZkuptpConnection(nullptr), 1);
    zksim::LoggedCall read = Calls().back();
    EXPECT_EQ(read.code, ZKUPTP_SIM_READ_CODE);
    EXPECT_EQ(read.outputLength, 1u);
    ASSERT_TRUE(bus_->Fail(ZKUPTP_SIM_READ_CODE));
    EXPECT_EQ(PnxZkuptpConnection(nullptr), 0);
    ASSERT_TRUE(bus_->Lose(kServer, kLocation));
    EXPECT_EQ(PnxZkuptpConnection(nullptr), 0);
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    ASSERT_TRUE(bus_->Detach(kServer, kLocation));
    EXPECT_EQ(PnxZkuptpConnection(nullptr), 0);
}

TEST_F(BusDriver, AClosedHandleIsReopenedByThePathItWasOpenedWith) {
    CloseBusDriver();
    ASSERT_TRUE(bus_->Attach(kServer, kLocation, kDeviceId));
    PortStatus status = {};
    ASSERT_EQ(QueryPortStatus(kServer, kLocation, &status, false), 1);
    EXPECT_EQ(status.state, ZKUPTP_STATE_ATTACHED);
    EXPECT_EQ(Calls().size(), 1u);
}

// Without a driver, the operations that give it time to come up sleep first; the others fail
// at once.
TEST_F(BusDriver, UnavailableDriverSleepsOnlyWhereItShould) {
    UseAbsentDriver();
    // Far apart, so that a loaded machine cannot make a call that fails at once look like a sleep.
    g_driverUnavailableSleepMs = 1500;
    const uint16_t values[2] = {1, 2};
    auto timed = [](auto operation) {
        ULONGLONG start = GetTickCount64();
        int result = operation();
        EXPECT_EQ(result, 0);
        return Elapsed(start);
    };
    PortStatus status;
    std::wstring id;
    DriverPortRequest port;
    uint32_t value = 0;
    uint16_t over = 0, time = 0;
    EXPECT_GE(timed([&] { return ForceReleasePort(kServer, kLocation); }), 1450u);
    EXPECT_GE(timed([&] { return int(GetPortDeviceId(kServer, kLocation, &id)); }), 1450u);
    EXPECT_GE(timed([&] { return SetPortComPort(kServer, kLocation, 1); }), 1450u);
    EXPECT_GE(timed([&] { return QueryPortBlackout(kServer, kLocation, 5, &over, &time); }), 1450u);
    EXPECT_GE(timed([&] { return SetHidFilter(1, values); }), 1450u);
    EXPECT_LT(timed([&] { return QueryPortStatus(kServer, kLocation, &status, true); }), 750u);
    EXPECT_LT(timed([&] { return LookupPortByDeviceId("USB\\X", &port); }), 750u);
    EXPECT_LT(timed([&] { return GetOwnershipInterface(&value); }), 750u);
    EXPECT_LT(timed([&] { return SetOwnershipReleaseTime(1); }), 750u);
    EXPECT_LT(timed([&] { return int(ReadDriverConnection()); }), 750u);
    EXPECT_TRUE(Calls().empty());
}

}  // namespace
