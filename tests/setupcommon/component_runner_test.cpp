#include "component_runner.h"
#include "driver_use_count.h"
#include "setup_log.h"

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

// Every driver file the script names lies below the component INI's folder, whole; anything
// else is a file that is not there.
TEST(ComponentRunner, DriverPathsStayBelowTheComponentFolder) {
    FakeDriverStore store;
    TestPackage package;  // qzdrv.inf in the package folder, the component INI one below it
    std::string sub = package.dir / "sub";
    CreateDirectoryA(sub.c_str(), nullptr);
    CreateDirectoryA((sub + "\\x64").c_str(), nullptr);  // and a copy beside it
    CopyFileA(package.inf().c_str(), (sub + "\\qzdrv.inf").c_str(), FALSE);
    std::string sys = "x64\\" + package.tag + ".sys";
    CopyFileA((package.dir / sys).c_str(), (sub + "\\" + sys).c_str(), FALSE);
    std::string ini = sub + "\\component.ini";
    std::string longFolder(240, 'd');
    WriteFileText(ini, "[DRIVER_UP]\r\nNAME=Up\r\nPATH=..;NTamd64\r\nINFFILE=qzdrv.inf\r\n"
                       "[DRIVER_DEEP]\r\nNAME=Deep\r\nPATH=x\\..\\..;NTamd64\r\nINFFILE=qzdrv.inf\r\n"
                       "[DRIVER_DOTS]\r\nNAME=Dots\r\nPATH=... ;NTamd64\r\nINFFILE=qzdrv.inf\r\n"
                       "[DRIVER_ABS]\r\nNAME=Abs\r\nPATH=" + package.dir.path() + ";NTamd64\r\nINFFILE=qzdrv.inf\r\n"
                       "[DRIVER_UNC]\r\nNAME=Unc\r\nPATH=\\\\host\\share;NTamd64\r\nINFFILE=qzdrv.inf\r\n"
                       "[DRIVER_INF]\r\nNAME=Inf\r\nPATH=.;NTamd64\r\nINFFILE=" + package.inf() + "\r\n"
                       "[DRIVER_PKG]\r\nNAME=Pkg\r\nPATH=.;NTamd64\r\nPACKAGE=../difx\r\nINFFILE=qzdrv.inf\r\n"
                       "[DRIVER_LONG]\r\nNAME=Long\r\nPATH=" + longFolder + ";NTamd64\r\nINFFILE=qzdrv.inf\r\n"
                       "[DRIVER_OK]\r\nNAME=Ok\r\nPATH=.;NTamd64\r\nINFFILE=qzdrv.inf\r\n");
    for (const char* name : {"UP", "DEEP", "DOTS", "ABS", "UNC", "INF", "PKG", "LONG"}) {
        ComponentEntry e{};
        lstrcpyA(e.name, name);
        lstrcpyA(e.componentIni, ini.c_str());
        e.mode = kModeInstall;
        EXPECT_EQ(RunDriverEntry(nullptr, &e), 2u) << name;
    }
    EXPECT_EQ(store.updates, 0);
    ComponentEntry ok{};
    lstrcpyA(ok.name, "OK");
    lstrcpyA(ok.componentIni, ini.c_str());
    ok.mode = kModeInstalledCheck;
    EXPECT_EQ(RunDriverEntry(nullptr, &ok), 12u);
}

TEST(ComponentRunner, ServiceDependenciesAndProgramSwitches) {
    ScratchFolder dir("component_programs");
    std::string ini = dir / "component.ini";
    std::string service = "QzDepends" + std::to_string(GetCurrentProcessId());
    std::string echoed = dir / "args.txt";
    WriteFileText(ini, "[SERVICE_SVC]\r\nNAME=" + service + "\r\nDEPENDTION=QzFirst,QzSecond,QzThird\r\n"
                       "[FILE_ECHO]\r\nNAME=Echo\r\nINSTALLCOMMAND=-echo " + echoed + "\r\n");
    ComponentEntry svc{};
    lstrcpyA(svc.name, "SVC");
    lstrcpyA(svc.componentIni, ini.c_str());
    lstrcpyA(svc.programPath, BesideTheTests("setupcommon_test_service.exe").c_str());
    svc.mode = kModeInstall;
    ASSERT_EQ(RunServiceEntry(nullptr, &svc), 0u);
    // As the service control manager keeps them (Wine's QueryServiceConfig reports none).
    std::wstring key = L"System\\CurrentControlSet\\Services\\" + std::wstring(service.begin(), service.end());
    wchar_t kept[128] = {};
    DWORD size = sizeof kept - sizeof(wchar_t);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, kept,
                           &size),
              ERROR_SUCCESS);
    std::string names;
    for (const wchar_t* p = kept; *p; p += wcslen(p) + 1) names += std::string(p, p + wcslen(p)) + "|";
    EXPECT_EQ(names, "QzFirst|QzSecond|QzThird|");
    EXPECT_EQ(RunServiceUninstallEntry(nullptr, &svc), 0u);

    // The program gets the debug switch that the tools were started with after its own parameters.
    SetLogFile((dir / "Setup.txt").c_str());
    LogFlags = kLogStepFile | kLogFileOps;
    ComponentEntry file{};
    lstrcpyA(file.name, "ECHO");
    lstrcpyA(file.componentIni, ini.c_str());
    lstrcpyA(file.programPath, BesideTheTests("setupcommon_test_service.exe").c_str());
    file.mode = kModeInstall;
    EXPECT_EQ(RunFileEntry(nullptr, &file), 0u);
    ResetLogSettings();
    EXPECT_EQ(ReadFileText(echoed), "-dlogqa\n");
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

    // While the other product is installed the bus driver stays, except at that product's own removal.
    const char kOther[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZK Tessora";
    HKEY other = nullptr;
    RegCreateKeyA(HKEY_LOCAL_MACHINE, kOther, &other);
    RegCloseKey(other);
    EXPECT_EQ(ReleaseDriverUser("Qz App B", "Zkuptp Driver", TRUE), 0);
    EXPECT_EQ(ReleaseDriverUser("Qz App B", "Zkspe Driver", TRUE), 1);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kTop) + "\\Qz App B").c_str());
    CountDriverUser("ZK Tessora", "Zkuptp Driver");
    EXPECT_EQ(ReleaseDriverUser("zk tessora", "Zkuptp Driver", TRUE), 0);  // another sub-key, by its case
    EXPECT_EQ(ReleaseDriverUser("ZK Tessora", "Zkuptp Driver", TRUE), 1);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOther);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTop);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTop);
}
