#include "driver_installer.h"
#include "setup_log.h"

#include "fake_driver_store.h"
#include "scratch.h"
#include "test_package.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The INF files of the prefix that name the hardware id (Windows names its copies oemN.inf).
int StagedInfs(const std::string& id) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string folder = std::string(windows) + "\\inf\\";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*.inf").c_str(), &data);  // Wine keeps the original name
    int n = 0;
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        n += ReadFileText(folder + data.cFileName).find(id) != std::string::npos;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return n;
}

}  // namespace

TEST(SetupResult, TextsAndVersionOrder) {
    const struct { uint32_t code; const char* text; } kTexts[] = {
        {0, "Successful."}, {3, "Is not a target OS."}, {11, "In connection."}, {12, "Component is not installed."},
        {17, "Installation was successful, but we failed to restart service."},
        {19, "There is not enough memory."}, {20, "20"}, {0xFFFFFFFF, "-1"},
    };
    char text[80];
    for (const auto& t : kTexts) {
        ASSERT_EQ(GetResultText(t.code, text, sizeof text), 1) << t.code;
        EXPECT_STREQ(text, t.text);
    }
    EXPECT_EQ(GetResultText(0, text, 11), 0);  // "Successful." needs 12 bytes
    const struct { const char* installed; const char* offered; uint32_t result; } kVersions[] = {
        {"2.1.2.0", "2.1.3", 7}, {"2.0.15", "2.1.0", 7}, {"1.10.0", "2.0.0", 7}, {"2.10.0", "2.9.9", 9},
        {"3.2.1.9", "3.2.1.0", 8}, {"", "0.0.0", 8},
    };
    for (const auto& v : kVersions) {
        EXPECT_EQ(VersionCheckResult(ParseThreePartVersion(v.installed), ParseThreePartVersion(v.offered)), v.result)
            << v.installed << " vs " << v.offered;
    }
}

TEST(ZkSetupDriver, PackageFaultsGiveTheirCodes) {
    FakeDriverStore store;
    uint32_t result = 0;
    EXPECT_EQ(ZkSetupDriver(nullptr, nullptr, nullptr), 0);
    DriverRequest empty{};
    empty.size = sizeof empty;
    ZkSetupDriver(nullptr, &empty, &result);
    EXPECT_EQ(result, 1u);

    EXPECT_EQ(TestPackage("USB", "").Run(kModeInstall), 3u);         // empty [SourceDisksFiles]
    EXPECT_EQ(TestPackage("USB", nullptr).Run(kModeInstall), 3u);    // none at all
    EXPECT_EQ(TestPackage("Net").Run(kModeInstall), 16u);             // a class nobody installs
    EXPECT_EQ(TestPackage("USB", "qzdrv.sys = 1\r\n", "").Run(kModeInstall), 6u);  // no DriverVer
    {
        TestPackage refused;
        store.updateError = ERROR_ACCESS_DENIED;  // not "no such device": the install failed
        EXPECT_EQ(refused.Run(kModeInstall), 14u);
        store.updateError = 0;
        EXPECT_EQ(refused.Run(kModeUninstall), 0u);  // takes its staged copy away again
        EXPECT_EQ(StagedInfs(refused.id), 0);
    }
    TestPackage missing;
    DeleteFileA((missing.dir / ("x64\\" + missing.tag + ".sys")).c_str());
    EXPECT_EQ(missing.Run(kModeInstall), 2u);
}

TEST(ZkSetupDriver, VersionCheckAndConnectedDevice) {
    FakeDriverStore store;
    TestPackage package;
    int returned = 0;
    EXPECT_EQ(package.Run(kModeVersionCheck, &returned), 7u);  // not installed: 0.0.0 against 2.1.3
    store.devices[package.key()] = 1;
    store.installedVersion = "2.1.2.0";
    EXPECT_EQ(package.Run(kModeVersionCheck, &returned), 7u);
    EXPECT_EQ(returned, 1);
    store.installedVersion = "2.10.0.0";  // two-digit parts
    EXPECT_EQ(package.Run(kModeVersionCheck), 9u);
    store.installedVersion = "2.1.3.7";
    EXPECT_EQ(package.Run(kModeVersionCheck), 8u);

    store.connected = true;
    EXPECT_EQ(package.Run(kModeInstall, &returned), 11u);
    EXPECT_EQ(store.askedConnected, package.tag);
    EXPECT_EQ(store.updates, 0);
    EXPECT_FALSE(Exists(package.installedSys()));
}

TEST(ZkSetupDriver, InstallsChecksAndRemovesAPackage) {
    FakeDriverStore store;
    TestPackage package;
    EXPECT_EQ(package.Run(kModeInstalledCheck), 12u);
    ASSERT_EQ(package.Run(kModeInstall), 0u);  // no device yet: staged
    EXPECT_EQ(store.updates, 1);
    EXPECT_EQ(ReadFileText(package.installedSys()), "stand-in driver");
    EXPECT_EQ(StagedInfs(package.id), 1);

    store.devices[package.key()] = 2;  // two devices plugged in later
    EXPECT_EQ(package.Run(kModeInstalledCheck), 13u);
    store.installParamsError = ERROR_INVALID_HANDLE;  // gone, only whether to restart is unknown
    SetLogFile((package.dir / "Setup.txt").c_str());
    LogFlags = kLogStepFile;
    ASSERT_EQ(package.Run(kModeUninstall), 0u);
    ResetLogSettings();
    EXPECT_NE(ReadFileText(package.dir / "Setup.txt").find("    --> Error2 (0x00000006)"), std::string::npos);
    EXPECT_EQ(store.removals, 2);  // every device with the id, not only the first
    EXPECT_FALSE(Exists(package.installedSys()));
    EXPECT_EQ(StagedInfs(package.id), 0);
    EXPECT_EQ(package.Run(kModeInstalledCheck), 12u);
}

TEST(ComPorts, CopiesAtMostMax) {
    FakeDriverStore store;
    store.comPorts = {{"COM3", "Zkspe Driver (COM3)"}, {"COM4", "Modem (COM4)"}};
    char* ports[2] = {};
    char* names[2] = {};
    ASSERT_EQ(EnumComPorts(ports, names, 1), 1);
    EXPECT_STREQ(ports[0], "COM3");
    EXPECT_STREQ(names[0], "Zkspe Driver (COM3)");
    LocalFree(ports[0]);
    LocalFree(names[0]);
}

TEST(ZkSetupDriver, TheSuitesPackagesReadAsTheInstallerNeedsThem) {
    const struct {
        const char *inf, *cls, *id, *service, *file;
    } kPackages[] = {
        {"zkuptp\\zkuptp.inf", "System", "ROOT\\ZKUPTP", "ZKUPTP", "zkuptp.sys"},
        {"zkspe\\zkspe.inf", "Ports", "ZKUPTP\\ZKSPE", "ZKSPE", "zkspe.sys"},
        {"zkhidflt\\zkhidflt.inf", "System", "ROOT\\ZKHIDFLT", "zkhidflt", "Zkhidflt.sys"},
    };
    FakeDriverStore store;
    for (const auto& p : kPackages) {
        std::string inf = BesideTheTests("driver_packages\\") + p.inf;
        ASSERT_EQ(CountSourceDiskFiles(inf.c_str()), 1) << p.inf;
        SysFileEntry entry{};
        std::string cls, id;
        ASSERT_TRUE(ParseDriverInf(16, 3, inf.c_str(), "NTamd64", cls, id, &entry, 1)) << p.inf;
        EXPECT_EQ(cls, p.cls);
        EXPECT_EQ(id, p.id);
        EXPECT_STREQ(entry.serviceName, p.service);
        EXPECT_EQ(entry.sysPath, inf.substr(0, inf.find_last_of('\\') + 1) + p.file);
        DriverRequest request{};
        lstrcpyA(request.InfFile, inf.c_str());
        lstrcpyA(request.TargetOS, "NTamd64");
        request.size = sizeof request;
        request.mode = kModeInstalledCheck;
        uint32_t result = 0;
        ZkSetupDriver(nullptr, &request, &result);
        EXPECT_EQ(result, 12u) << p.inf;
    }
    // The bus driver is a root device: installing it creates one (here in the fake store).
    DriverRequest bus{};
    lstrcpyA(bus.InfFile, (BesideTheTests("driver_packages\\") + kPackages[0].inf).c_str());
    lstrcpyA(bus.TargetOS, "NTamd64");  // the packages hold decorated models only
    bus.size = sizeof bus;
    bus.mode = kModeInstall;
    uint32_t result = 99;
    ZkSetupDriver(nullptr, &bus, &result);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(store.devices["root\\zkuptp"], 1);
    bus.mode = kModeVersionCheck;
    store.installedVersion = "1.2.3.4";
    ZkSetupDriver(nullptr, &bus, &result);
    EXPECT_EQ(result, 8u);
    // The COM port driver is neither replaced nor removed while the bus driver holds a device.
    DriverRequest com = bus;
    lstrcpyA(com.InfFile, (BesideTheTests("driver_packages\\") + kPackages[1].inf).c_str());
    store.connected = true;
    for (uint32_t mode : {kModeInstall, kModeUninstall}) {
        com.mode = mode;
        ZkSetupDriver(nullptr, &com, &result);
        EXPECT_EQ(result, 11u) << mode;
        EXPECT_EQ(store.askedConnected, "zkuptp");
    }
}
