#include "monitor_install.h"

#include "application_records.h"
#include "fake_spooler.h"
#include "test_script.h"

#include <gtest/gtest.h>

namespace {

class MonitorInstall : public ::testing::Test {
protected:
    explicit MonitorInstall(const std::string& monitorSection = "")
        : script_("monitor", kLanguageIni,
                  std::string(kCopyFileIni) + "[Client_COMMON]\r\nDELETE_000=old.dll;FILE\r\nDELETE_001=never.dll;FILE\r\n" +
                      monitorSection) {}
    void Start() {
        script_.Prepare(&g_setup);
        g_setup.osCode = 16;
        g_setup.modeBits = kModeSilent;
        ReadApplicationInfo(&g_setup);
        ASSERT_EQ(g_setup.applicationCount, 1u);
        list_ = script_ / "unflist.ini";
        snprintf(g_setup.applications[0].uninstallPaths[kListWorkPath], MAX_PATH, "%s", list_.c_str());
    }
    ~MonitorInstall() override { FreeApplicationInfo(&g_setup); }
    TestScript script_;
    std::string list_;
};

TEST_F(MonitorInstall, WithoutAMonitorEveryStepPasses) {
    Start();
    FakeSpooler spooler;
    spooler.monitors.insert("Quelbo Plus Port");
    EXPECT_EQ(CheckPortMonitor(nullptr, &g_setup), 1);
    EXPECT_EQ(GetPortMonitorInfo(nullptr, &g_setup), 1);
    EXPECT_EQ(SetPortMonitorInfo(nullptr, &g_setup), 1);
    EXPECT_TRUE(spooler.added.empty());
    EXPECT_TRUE(spooler.deleted.empty());
    EXPECT_EQ(spooler.monitors.size(), 1u);
}

TEST_F(MonitorInstall, DeleteListsTakeOnlyRecordedFilesOfAnEarlierInstall) {
    Start();
    std::string recorded = script_ / "old.dll";
    std::string unrecorded = script_ / "sub\\never.dll";
    CreateDirectoryA((script_ / "sub").c_str(), nullptr);
    WriteFileText(recorded, "x");
    WriteFileText(unrecorded, "x");
    WritePrivateProfileStringA("FILE", "FILE_000", recorded.c_str(), list_.c_str());
    DeleteFiles(nullptr, &g_setup);
    EXPECT_TRUE(Exists(recorded)) << "not installed before: nothing is deleted";
    g_setup.applications[0].alreadyInstalled = 1;
    DeleteFiles(nullptr, &g_setup);
    EXPECT_FALSE(Exists(recorded));
    EXPECT_TRUE(Exists(unrecorded));
}

TEST_F(MonitorInstall, NoPrinterPageWithoutAPortMade) {
    Start();
    g_setup.serverAddressGiven = 1;
    for (const char* address : {"000000000000", "0080926A1B2C"}) {
        SCOPED_TRACE(address);
        snprintf(g_setup.serverAddress, sizeof g_setup.serverAddress, "%s", address);
        snprintf(g_setup.hostAddress, sizeof g_setup.hostAddress, "10.77.0.50");
        g_setup.printerPage = 1;
        EXPECT_EQ(SetPortMonitorInfo(nullptr, &g_setup), 1);
        EXPECT_EQ(g_setup.printerPage, 0u) << "no monitor, so no port to move a printer to";
        EXPECT_STREQ(g_setup.createdPortName, "");
    }
}

class OtherOldMonitor : public MonitorInstall {
protected:
    OtherOldMonitor() : MonitorInstall("[Client_MONITOR]\r\nOLDMONITOR=OTHERMON\r\n") {}
};

TEST_F(OtherOldMonitor, IsIgnored) {
    Start();
    EXPECT_EQ(RemoveOldMonitor(nullptr, &g_setup, &g_setup.applications[0], "unflist.ini"), 0);
    EXPECT_EQ(g_setup.applications[0].alreadyInstalled, 0u);
}

}  // namespace
