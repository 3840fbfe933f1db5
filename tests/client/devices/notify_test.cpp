// Client notifications: what is sent and what only logged, the device batch, and the texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_entry.h"
#include "lib_test_support.h"
#include "notify.h"

namespace {

class NotifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        ResetLibStateForTests();
        g_lib.clientWindow = client.get();
    }
    void TearDown() override { ResetLibStateForTests(); }
    TestClientWindow client;
};

TEST_F(NotifyTest, KindZeroIsNeverSent) {
    EXPECT_FALSE(SendClientNotification(PNXN_SERVER, 0, 4, 0));
    ServerRecord record;
    ServerInfo info = {};
    record.info = &info;
    ServerEntry entry;
    entry.record = &record;
    EXPECT_EQ(NotifyServer(nullptr, &entry, 0, 1), 1);

    DeviceChangeRecord changes[2];
    changes[0].kind = 0;
    changes[1].kind = PNXET_CHANGE;
    changes[1].flags = kDeviceChangeStatus;
    UsbDeviceInfo deviceInfo = {};
    DeviceEntry device = {};
    device.info = &deviceInfo;
    changes[1].device = &device;
    NotifyDevices(nullptr, changes, 2);
    ASSERT_EQ(client.received.size(), 1u);
    EXPECT_EQ(client.received[0].message, PNXN_DEVICE);
    EXPECT_EQ(client.received[0].kind, PNXET_CHANGE);
    EXPECT_EQ(client.received[0].flags, kDeviceChangeStatus);
    EXPECT_EQ(client.received[0].lParam, reinterpret_cast<LPARAM>(&device));

    client.received.clear();
    EXPECT_EQ(NotifyServer(nullptr, &entry, PNXET_CHANGE, kServerChangeBase), 1);
    ASSERT_EQ(client.received.size(), 1u);
    EXPECT_EQ(client.received[0].lParam, reinterpret_cast<LPARAM>(&entry));

    ServerEntry empty;
    EXPECT_EQ(NotifyServer(nullptr, &empty, PNXET_NEW, 0), 0);
    EXPECT_EQ(NotifyServer(nullptr, nullptr, PNXET_NEW, 0), 0);
    EXPECT_EQ(client.received.size(), 1u);
}

TEST_F(NotifyTest, DeviceListGoesOutAsOneMessageAndNeverEmpty) {
    std::vector<AutoDeviceItem> items = {{0x10, kAutoDeviceServerLost}, {0x20, kAutoDeviceServerLost}};
    EXPECT_TRUE(NotifyDeviceList(nullptr, PNXET_DISCONNECT, 0, items));
    std::vector<AutoDeviceItem> none;
    EXPECT_FALSE(NotifyDeviceList(nullptr, PNXET_DISCONNECT, 0, none));
    ASSERT_EQ(client.received.size(), 1u);
    EXPECT_EQ(client.received[0].kind, PNXET_DISCONNECT);
}

TEST(NotifyTexts, CopiedOnlyWhenTheyFit) {
    char text[64];
    ASSERT_TRUE(EventKindText(PNXET_DISCONNECT, text, sizeof text));
    EXPECT_STREQ(text, "PNXET_DISCONNECT");
    // "PNXET_NEW" needs 10 bytes with its terminator.
    std::memset(text, 'x', sizeof text);
    EXPECT_FALSE(EventKindText(PNXET_NEW, text, 9));
    EXPECT_EQ(text[0], 'x');
    EXPECT_TRUE(EventKindText(PNXET_NEW, text, 10));
    EXPECT_STREQ(text, "PNXET_NEW");
    EXPECT_FALSE(EventKindText(PNXET_NEW, nullptr, 10));
}

TEST(NotifyTexts, EventsWordsAndUnknownValues) {
    struct Case {
        bool (*format)(uint16_t, char*, size_t);
        uint16_t value;
        const char* text;
    } words[] = {
        {ServerStatusText, 0, "Nothing."},
        {ServerStatusText, 0x4, "Network Error."},
        {ServerStatusText, 0xA, "No Device. Get Status."},
        {ServerFunctionText, 0x14, "ZKA. 0x0010."},
        {DeviceStatusText, 3, "Other Connect."},
        {DeviceStatusText, 9, "0x0009."},
        {DeviceStatusExText, 2, "Wrong Disconnect."},
        {DeviceFunctionText, 0x2, "Permisson."},
        {ReserveText, 2, "Device will connect by Auto Print."},
        {EventKindText, 7, "0x0007."},
    };
    char text[128];
    for (const Case& c : words) {
        ASSERT_TRUE(c.format(c.value, text, sizeof text)) << c.text;
        EXPECT_STREQ(text, c.text);
    }
    struct EventCase {
        bool server;
        uint16_t kind;
        uint16_t flags;
        const char* text;
    } events[] = {
        {true, PNXET_NEW, 0, "Find New Server!!"},
        {true, PNXET_DELETE, 0, "Find Delete Server."},
        {true, PNXET_CHANGE, 8, "Analysis was completed."},
        {true, PNXET_CHANGE, 5, "Change a Server Base. Change a Server Status."},
        {false, PNXET_CHANGE, 1, "Get PC Name."},
        {false, PNXET_CONNECT, 5, "By ZKA."},
        {false, PNXET_DISCONNECT, 3, "By Auto Printer."},
        {false, 9, 0, "0x0009."},
    };
    for (const EventCase& e : events) {
        bool ok = e.server ? ServerEventText(e.kind, e.flags, text, sizeof text)
                           : DeviceEventText(e.kind, e.flags, text, sizeof text);
        ASSERT_TRUE(ok) << e.text;
        EXPECT_STREQ(text, e.text);
    }
}

}  // namespace
