// Connect marks in both kinds of store: one device's mark says nothing about another's, and
// dropping them leaves the device settings alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "connect_marks.h"
#include "lib_state.h"
#include "lib_test_support.h"
#include "registry_test_key.h"

namespace {

class ConnectMarksTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        location = GetParam() ? scratch.location() : folder.File("marks.ini");
        store = SettingsStoreFromLocation(location.c_str());
    }

    RegistryTestKey scratch{"ConnectMarks"};
    TempFolder folder;
    std::string location;
    SettingsStore store;
};

TEST_P(ConnectMarksTest, MarksAreKeptPerDevice) {
    EXPECT_FALSE(QueryConnectMark(&store, "0A5C0001&001122334455&1-1&Disk"));
    ASSERT_TRUE(SetConnectMark(&store, "0A5C0001&001122334455&1-1&Disk"));
    EXPECT_TRUE(QueryConnectMark(&store, "0A5C0001&001122334455&1-1&Disk"));
    EXPECT_FALSE(QueryConnectMark(&store, "0A5C0001&001122334455&1-2&Disk")) << "another device has no mark";
    ASSERT_TRUE(SetConnectMark(&store, "0A5C0001&001122334455&1-2&Disk"));
    ASSERT_TRUE(DeleteConnectMark(&store, "0A5C0001&001122334455&1-1&Disk"));
    EXPECT_FALSE(QueryConnectMark(&store, "0A5C0001&001122334455&1-1&Disk"));
    EXPECT_TRUE(QueryConnectMark(&store, "0A5C0001&001122334455&1-2&Disk"));
}

TEST_P(ConnectMarksTest, DroppingAllMarksKeepsTheDeviceSettings) {
    UsbDeviceInfo info = {};
    char name[] = "Disk";
    info.name = name;
    ASSERT_TRUE(WriteDeviceIdentity(&store, "D1", &info));
    ASSERT_TRUE(SetConnectMark(&store, "D1"));
    ASSERT_TRUE(SetConnectMark(&store, "D2"));

    // What registration and unregistration do: the marks of the registered client's store go.
    std::memcpy(g_lib.location, location.c_str(), location.size() + 1);
    DropConnectMarks();
    g_lib.location[0] = '\0';

    EXPECT_FALSE(QueryConnectMark(&store, "D1"));
    EXPECT_FALSE(QueryConnectMark(&store, "D2"));
    EXPECT_TRUE(DeviceKeyExists(&store, "D1"));
    EXPECT_TRUE(SetConnectMark(&store, "D1")) << "marks can be set again after a drop";
}

INSTANTIATE_TEST_SUITE_P(Stores, ConnectMarksTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Registry" : "Ini"; });

}  // namespace
