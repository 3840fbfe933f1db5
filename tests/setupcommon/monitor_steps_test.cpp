#include "monitor_steps.h"
#include "setup_log.h"

#include "fake_spooler.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

void SetString(const std::string& key, const char* name, const char* value) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, value, lstrlenA(value) + 1);
}

std::string GetString(const std::string& key, const char* name) {
    char text[512] = "";
    DWORD size = sizeof text - 1;
    RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

}  // namespace

TEST(MonitorSteps, BusyChecksThenRemoveAndAddBack) {
    std::string name = "QzTestMonitor" + std::to_string(GetCurrentProcessId());
    std::string keyPath = MonitorKeyPath(name.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, keyPath.c_str());
    ScratchFolder dir("monitor");
    std::string ini = dir / "CopyFile.ini";
    WriteFileText(ini, "[QZAPP_MONITOR]\r\nOS_WINNT=" + name + "\r\nDLLNAME=qzmon.dll\r\n[PLAIN_MONITOR]\r\nOS_WIN9x=x\r\n");
    FakeSpooler spooler(keyPath + "\\Ports");
    MonitorRecord monitor{};
    EXPECT_EQ(PrepareMonitorUpdate(nullptr, &monitor, "PLAIN", ini.c_str()), 1);  // no monitor on NT
    EXPECT_STREQ(monitor.name, "");
    EXPECT_EQ(PrepareMonitorUpdate(nullptr, &monitor, "QZAPP", ini.c_str()), 1);  // not installed
    EXPECT_EQ(monitor.wasInstalled, 0u);
    EXPECT_STREQ(monitor.environment, "Windows x64");

    spooler.monitors.insert(name);
    SetString(keyPath + "\\Ports\\p1", "HostName", "10.77.0.9");
    spooler.printers = {{"Office", "p1"}, {"Other", "LPT1:"}};
    spooler.busyPrinters = {"Office"};
    monitor = MonitorRecord{};
    EXPECT_EQ(PrepareMonitorUpdate(nullptr, &monitor, "QZAPP", ini.c_str()), 0);  // a job is queued on its port
    EXPECT_EQ(monitor.busy, 1u);
    spooler.busyPrinters = {"Other"};  // a job on a port of another monitor does not count
    HANDLE wizard = CreateMutexA(nullptr, FALSE, ("Global\\Add " + name).c_str());
    monitor = MonitorRecord{};
    EXPECT_EQ(PrepareMonitorUpdate(nullptr, &monitor, "QZAPP", ini.c_str()), 0);  // its port wizard is open
    CloseHandle(wizard);
    HANDLE dialog = CreateMutexA(nullptr, FALSE, ("Global\\Configure " + name).c_str());
    monitor = MonitorRecord{};
    EXPECT_EQ(PrepareMonitorUpdate(nullptr, &monitor, "QZAPP", ini.c_str()), 0);  // its port dialog is open
    CloseHandle(dialog);
    monitor = MonitorRecord{};
    ASSERT_EQ(PrepareMonitorUpdate(nullptr, &monitor, "QZAPP", ini.c_str()), 1);

    ASSERT_EQ(RemovePortMonitor(nullptr, nullptr, &monitor), 1);
    EXPECT_EQ(spooler.monitors.count(name), 0u);
    EXPECT_EQ(spooler.printers[0].port, "LPT1:");
    EXPECT_EQ(MonitorPortExists(name.c_str(), "p1"), 0);

    ASSERT_EQ(InstallPortMonitor(nullptr, nullptr, &monitor, "C:\\Program Files\\Qz"), 1);
    EXPECT_EQ(monitor.installedNow, 1u);
    ASSERT_EQ(spooler.added.size(), 1u);
    EXPECT_EQ(spooler.added[0], name + "|Windows x64|qzmon.dll");
    EXPECT_EQ(MonitorPortExists(name.c_str(), "p1"), 1);
    EXPECT_EQ(GetString(keyPath + "\\Ports\\p1", "HostName"), "10.77.0.9");
    EXPECT_EQ(GetString(keyPath, "InstallPath"), "C:\\Program Files\\Qz");
    EXPECT_EQ(spooler.printers[0].port, "p1");  // back on its own port
    FreeMonitorList(&monitor);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, keyPath.c_str());
}

namespace {

// A stand-in status monitor: a window of its own class that closes on WM_USER + 5, with the
// global mutex of that class name that a running status monitor holds. A hung one takes no
// message until it is destroyed.
class StatusMonitor {
public:
    explicit StatusMonitor(const std::string& cls, bool hung = false) : cls_(cls) {
        mutex_ = CreateMutexA(nullptr, FALSE, ("Global\\" + cls).c_str());
        release_ = CreateEventA(nullptr, TRUE, hung ? FALSE : TRUE, nullptr);
        thread_ = std::thread([this] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                if (m == WM_USER + 5) DestroyWindow(w);
                if (m == WM_DESTROY) PostQuitMessage(0);
                return DefWindowProcA(w, m, wp, lp);
            };
            wc.lpszClassName = cls_.c_str();
            RegisterClassA(&wc);
            window_ = CreateWindowA(cls_.c_str(), "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
            WaitForSingleObject(release_, 60000);  // a hung one that is never released ends its test
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        });
        while (!FindWindowA(cls.c_str(), nullptr)) Sleep(10);
    }
    ~StatusMonitor() {
        SetEvent(release_);
        PostMessageA(window_, WM_CLOSE, 0, 0);  // if the close asked for never came
        thread_.join();
        CloseHandle(release_);
        CloseHandle(mutex_);
    }

private:
    std::string cls_;
    HANDLE mutex_;
    HANDLE release_;
    std::atomic<HWND> window_{nullptr};
    std::thread thread_;
};

}  // namespace

TEST(MonitorSteps, StatusMonitorsStopAndStart) {
    ScratchFolder dir("status");
    std::string cls = "QzStatusMon" + std::to_string(GetCurrentProcessId());
    std::string ini = dir / "CopyFile.ini";
    std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string hung = cls + "Hung";
    WriteFileText(ini, "[QZAPP_MONITOR]\r\nMONITOR_00=missing.exe;" + cls + ";5;QzMissing" + cls +
                           "\r\nMONITOR_01=setupcommon_test_service.exe;" + cls + ";5;QzRun" + cls + ";-tray" +
                           "\r\nMONITOR_02=..\\setupcommon_test_service.exe;" + cls + ";5;QzUp" + cls +
                           "\r\nMONITOR_03=long.exe;" + cls + ";5;QzLong" + cls + "\r\n"
                           "[HUNG_MONITOR]\r\nMONITOR_00=hung.exe;" + hung + ";5;QzHung\r\n");
    {
        StatusMonitor monitor(cls);
        DWORD begin = GetTickCount();
        StopStatusMonitors(nullptr, "QZAPP_MONITOR", ini.c_str());
        EXPECT_EQ(FindWindowA(cls.c_str(), nullptr), nullptr);
        EXPECT_GE(GetTickCount() - begin, 2900u);
    }
    {
        // One that never takes the message holds the install no longer than its answer time-out.
        StatusMonitor monitor(hung, true);
        SetLogFile((dir / "Setup.txt").c_str());
        LogFlags = kLogStepFile;
        StopStatusMonitors(nullptr, "HUNG_MONITOR", ini.c_str());
        ResetLogSettings();
        EXPECT_NE(ReadFileText(dir / "Setup.txt").find("  --> SendMessage(NG)"), std::string::npos);
    }
    std::string uninstallIni = dir / "Uninstall.ini";
    std::string folder = BesideTheTests("");
    folder.pop_back();
    StartStatusMonitors(
        nullptr,
        [&](const char* file) {
            std::string name(file);
            if (name == "missing.exe") return std::string();
            return name == "long.exe" ? folder + "\\" + std::string(250 - folder.size(), 'f') : folder;
        },
        "QZAPP_MONITOR", ini.c_str(), "MONITOR", uninstallIni.c_str());
    EXPECT_EQ(GetString(run, ("QzMissing" + cls).c_str()), "");  // not installed: no Run value
    EXPECT_EQ(GetString(run, ("QzUp" + cls).c_str()), "");       // a file outside its folder
    EXPECT_EQ(GetString(run, ("QzLong" + cls).c_str()), "");     // a path too long to hold
    EXPECT_EQ(GetString(run, ("QzRun" + cls).c_str()),
              "\"" + BesideTheTests("setupcommon_test_service.exe") + "\" -tray");
    char recorded[512] = "";
    GetPrivateProfileStringA("MONITOR", "MONITOR_00", "", recorded, sizeof recorded, uninstallIni.c_str());
    EXPECT_EQ(std::string(recorded).rfind("setupcommon_test_service.exe;", 0), 0u);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, run.c_str(), ("QzRun" + cls).c_str());

    // The old monitor raises its question unless it is the product that may stay.
    std::string old = MonitorKeyPath("RWLPRMON");
    WriteFileText(ini, "[APPLIINFO]\r\nAPP_00=QZAPP\r\n[QZAPP_MONITOR]\r\nOLDMONITOR=rwlprmon\r\n");
    char key[32] = "", shown[32] = "";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, old.c_str());
    EXPECT_EQ(CheckOldPrintMonitor(key, sizeof key, shown, sizeof shown, ini.c_str()), 0);  // none there
    SetString(old, "Product", "RW-Print2002");
    EXPECT_EQ(CheckOldPrintMonitor(key, sizeof key, shown, sizeof shown, ini.c_str()), 0);
    SetString(old, "Product", "Another");
    EXPECT_EQ(CheckOldPrintMonitor(key, sizeof key, shown, sizeof shown, ini.c_str()), 2);
    EXPECT_STREQ(key, "MESSAGE_08");
    EXPECT_STREQ(shown, "RW-Print");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, old.c_str());
}
