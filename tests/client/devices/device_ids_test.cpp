// The stored Plug and Play ids, the manual printer list and the safe removal, against the
// registry and the test rig's stand-in device tree (nodes below the Enum key).
#include <gtest/gtest.h>

#include <windows.h>
#include <cfgmgr32.h>

#include <string>

#include "device_ids.h"
#include "device_printers.h"
#include "log.h"
#include "registry_test_key.h"
#include "safe_removal.h"
#include "settings_store.h"

namespace {

constexpr const char* kEnum = "System\\CurrentControlSet\\Enum\\";

// A present node of the stand-in tree, removed afterwards.
class TestNode {
public:
    TestNode(const char* tag, DWORD status, DWORD vetoes = 0) {
        id_ = std::string("QZTEST\\") + tag + "\\" + std::to_string(GetCurrentProcessId());
        std::string path = kEnum + id_;
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), "QzParent", REG_SZ, "", 1);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), "QzStatus", REG_DWORD, &status, sizeof status);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), "QzVetoes", REG_DWORD, &vetoes, sizeof vetoes);
    }
    ~TestNode() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kEnum + id_).c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kEnum + id_).c_str());
    }
    const std::string& id() const { return id_; }
    DWORD Ejects() const {
        DWORD value = 0, size = sizeof value;
        RegGetValueA(HKEY_LOCAL_MACHINE, (kEnum + id_).c_str(), "QzEjects", RRF_RT_REG_DWORD, nullptr, &value, &size);
        return value;
    }

private:
    std::string id_;
};

TEST(DeviceIds, StaleIdsAreDroppedAndTheRestRenumberedFromZero) {
    RegistryTestKey key("ids");
    SettingsStore store = SettingsStoreFromLocation(key.location().c_str());
    TestNode live("LIVE", DN_STARTED);
    DeviceIdSet written;
    written.busIds = {"QZTEST\\GONE\\1", live.id()};
    written.deviceIds = {live.id()};
    ASSERT_TRUE(WriteDeviceIds(store, "dev", written, kIdListAll));

    DeviceIdSet ids;
    LoadDeviceIds(store, "dev", &ids);
    EXPECT_EQ(ids.busIds, std::vector<std::string>{live.id()});
    EXPECT_EQ(ids.deviceIds, std::vector<std::string>{live.id()});
    DeviceIdSet again;
    ASSERT_TRUE(ReadDeviceIds(store, "dev", &again, kIdListAll));
    EXPECT_EQ(again.busIds, ids.busIds);  // stored anew: ZkuptpId00 is the live one
    uint32_t count = 0;
    EXPECT_TRUE(key.Read("Device\\dev", "ZkuptpIdCount", &count, sizeof count));
    EXPECT_EQ(count, 1u);

    // A stored count far beyond what was written reads no more than the cap of slots.
    key.WriteDword("Device\\dev", "PrinterIdCount", 0x7FFFFFFF);
    ASSERT_TRUE(ReadDeviceIds(store, "dev", &again, kIdListPrinter));
    EXPECT_EQ(again.printerIds.size(), kMaxStoredIds);
}

TEST(ManualPrinters, TheSplitIsBoundedByTheCountAndTheSlot) {
    const std::string longName(300, 'n');
    struct Case {
        std::string names;
        uint32_t count;
        std::vector<std::string> expected;
    } cases[] = {
        {"A,B,C", 2, {"A", "B"}},
        {"A,B,C", 9, {"A", "B", "C"}},
        {"", 1, {""}},
        {longName + ",X", 2, {std::string(kPrinterSlotChars - 1, 'n'), "X"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitManualPrinters(c.names, c.count), c.expected) << c.names.substr(0, 10);
    EXPECT_EQ(SplitManualPrinters(std::string(2000, ','), 100000).size(), 255u);
}

TEST(SafetyRemove, EjectsOnlyRemovableNodesAndTriesOnceMoreAfterAVeto) {
    constexpr DWORD kRemovable = DN_STARTED | DN_DISABLEABLE | DN_REMOVABLE;
    struct Case {
        const char* tag;
        DWORD status;
        DWORD vetoes;
        int result;
        DWORD ejects;
    } cases[] = {
        {"FIXED", DN_STARTED | DN_DISABLEABLE, 0, 1, 0},  // not removable: nothing to do
        {"FREE", kRemovable, 0, 1, 1},
        {"VETO1", kRemovable, 1, 1, 2},
        {"VETO2", kRemovable, 2, 0, 2},
    };
    for (const Case& c : cases) {
        TestNode node(c.tag, c.status, c.vetoes);
        EXPECT_EQ(SafetyRemove(nullptr, node.id()), c.result) << c.tag;
        EXPECT_EQ(node.Ejects(), c.ejects) << c.tag;
    }
    EXPECT_EQ(SafetyRemove(nullptr, ""), 1);
    EXPECT_EQ(SafetyRemove(nullptr, "QZTEST\\MISSING\\1"), 0);
}

}  // namespace
