#include "component_runner.h"
#include "driver_use_count.h"

#include "fake_driver_store.h"
#include "scratch.h"
#include "test_package.h"

#include <gtest/gtest.h>

namespace {

// A component set over the lists of one INI file, freed with the object.
struct TestSet {
    TestSet(const std::string& ini, const char* application, const char* order) {
        set.size = sizeof set;
        set.error = &error;
        lstrcpyA(set.application, application);
        lstrcpyA(set.order, order);
        ok = ReadComponentLists(nullptr, &set, "APP_COMPONENT", ini.c_str(), ini.c_str()) == 1;
    }
    ~TestSet() { FreeComponentLists(&set); }
    ComponentSet set{};
    ComponentError error{};
    bool ok = false;
};

const char kTop[] = "Software\\Zkuptp Driver";

DWORD Count(const char* sub, const char* name) {
    DWORD value = 0, size = sizeof value;
    RegGetValueA(HKEY_LOCAL_MACHINE, sub, name, RRF_RT_DWORD, nullptr, &value, &size);
    return value;
}

}  // namespace

TEST(ComponentRunner, EntriesListsAndOrder) {
    const struct { const char* value; int ok; uint16_t mode; } kEntries[] = {
        {"BUS;Zkuptp Driver;install", 1, kModeInstall}, {"SVC;-;STOP", 1, kModeStop}, {"X;Y;VCHECK", 1, 3},
        {"X;Y;other", 1, kModeNone}, {"X;Y", 0, 99}, {"X;;INSTALL", 0, 99},
    };
    for (const auto& e : kEntries) {
        char name[64] = "", reg[64] = "";
        uint16_t mode = 99;
        EXPECT_EQ(ParseComponentEntry(e.value, name, reg, &mode), e.ok) << e.value;
        EXPECT_EQ(mode, e.mode) << e.value;
    }

    ScratchFolder dir("components");
    std::string ini = dir / "component.ini";
    WriteFileText(ini,
                  "[APP_COMPONENT]\r\nDRIVER_00=BUS;Qz Test Driver;INSTALL\r\nSERVICE_00=SVC;-;STOP\r\n"
                  "FILE_00=GONE;-;UNINSTALL\r\nFILE_01=TOOL;-;INSTALL\r\n"
                  "[DRIVER_BUS]\r\nNAME=Bus\r\nPATH=missing;NTamd64\r\nINFFILE=none.inf\r\n"
                  "[FILE_GONE]\r\nNAME=Gone\r\n[FILE_TOOL]\r\nNAME=Tool\r\n[SERVICE_SVC]\r\nNAME=Svc\r\n");
    const struct { const char* order; const char* failing; uint32_t code; bool serviceRan; } kOrders[] = {
        {"", "BUS", 3, false},              // drivers first: an INF that is not there
        {"FILE;DRIVER", "TOOL", 2, false},  // programs first, no services: a missing program at install
        {"SERVICE;FILE", "TOOL", 2, true},
        {"BOGUS;FILE", "BUS", 3, false},    // an unknown first place: the default order
    };
    for (const auto& o : kOrders) {
        TestSet t(ini, "Qz Order App", o.order);
        ASSERT_TRUE(t.ok);
        ASSERT_EQ(t.set.driverCount, 1u);
        ASSERT_EQ(t.set.fileCount, 2u);
        EXPECT_EQ(RunComponents(nullptr, &t.set, kRunDrivers | kRunServices | kRunFiles), 1);
        EXPECT_STREQ(t.error.name, o.failing) << o.order;
        EXPECT_EQ(t.error.code, o.code) << o.order;
        EXPECT_EQ(t.set.services[0].done, o.serviceRan ? 1u : 0u) << o.order;
        if (o.code == 2) {
            EXPECT_EQ(t.set.files[0].done, 1u);  // a missing program is nothing to run at removal
        }
    }
    EXPECT_EQ(RunComponents(nullptr, nullptr, 7), 0);
}

// One test for every use of the shared use-count key, so that no other test changes it meanwhile.
TEST(ComponentRunner, SharedDriversRestartsAndComClear) {
    FakeDriverStore store;
    TestPackage package;
    std::string ini = package.dir / "component.ini";
    WriteFileText(ini,
                  "[APP_COMPONENT]\r\nDRIVER_00=COM;Zkspe Driver;INSTALL\r\nFILE_00=GONE;-;UNINSTALL\r\n"
                  "[REMOVE_BUS]\r\nDRIVER_00=BUS;Zkuptp Driver;UNINSTALL\r\n"
                  "[REMOVE_COM]\r\nDRIVER_00=COM;Zkspe Driver;UNINSTALL\r\n"
                  "[DRIVER_COM]\r\nNAME=Com port driver\r\nPATH=.;NTamd64\r\nINFFILE=qzdrv.inf\r\n"
                  "[DRIVER_BUS]\r\nNAME=Bus driver\r\nPATH=.;NTamd64\r\nINFFILE=qzdrv.inf\r\n"
                  "[FILE_GONE]\r\nNAME=Gone\r\n");
    auto run = [&](const char* section, const char* application, ComponentError& error) {
        ComponentSet set{};
        set.error = &error;
        lstrcpyA(set.application, application);
        EXPECT_EQ(ReadComponentLists(nullptr, &set, section, ini.c_str(), ini.c_str()), 1);
        RunComponents(nullptr, &set, kRunDrivers | kRunFiles);
        ComponentEntry first = set.drivers[0];
        FreeComponentLists(&set);
        return first;
    };
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTop);
    EXPECT_EQ(ReleaseDriverUser("Qz App A", "Zkuptp Driver", TRUE), 0);  // without the key nothing goes

    store.devices[package.key()] = 1;
    store.rebootOnUpdate = true;
    for (int i = 0; i < 2; ++i) {  // installed twice, counted once
        ComponentError error{};
        ComponentEntry driver = run("APP_COMPONENT", "Qz App A", error);
        EXPECT_EQ(driver.result, 10u);  // a restart is due, and the run goes on
        EXPECT_EQ(driver.done, 1u);
        EXPECT_EQ(error.code, 0u);
    }
    EXPECT_EQ(Count(kTop, "Zkspe Driver"), 1u);
    CountDriverUser("Qz App B", "Zkuptp Driver");
    CountDriverUser("Qz App A", "Zkuptp Driver");
    EXPECT_EQ(Count(kTop, "Zkuptp Driver"), 2u);

    // A's removal keeps the bus driver for B: nothing is removed, A is forgotten.
    BusDriverRemovable = 1;
    ComponentError error{};
    EXPECT_EQ(run("REMOVE_BUS", "Qz App A", error).done, 1u);
    EXPECT_EQ(BusDriverRemovable, 0);
    EXPECT_EQ(store.removals, 0);
    EXPECT_EQ(Count(kTop, "Zkuptp Driver"), 1u);
    EXPECT_EQ(Count((std::string(kTop) + "\\Qz App A").c_str(), "Zkuptp Driver"), 0u);

    // B is now the only user: the COM ports are cleared before the COM port driver goes.
    store.events.clear();
    run("REMOVE_COM", "Qz App B", error);
    EXPECT_EQ(error.code, 0u) << error.name;
    EXPECT_EQ(store.removals, 1);
    ASSERT_FALSE(store.controls.empty());
    EXPECT_EQ(store.controls[0].device, "zkuptp");
    EXPECT_EQ(store.controls[0].code, 0x806021C4u);
    EXPECT_EQ(store.controls[0].input, (std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0xFF, 0}));
    ASSERT_GE(store.events.size(), 2u);
    EXPECT_EQ(store.events[0], "control");
    EXPECT_EQ(store.events[1], "remove");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTop);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTop);
}
