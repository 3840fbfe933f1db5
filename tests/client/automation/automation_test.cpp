// Auto Application and Auto Printer against scripted fakes of the process table, the shell and
// the spooler (real event handles stand for the printers' change notifications, so the waits
// are real). Notices reach the client through the service window, as in the product.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "address_watcher.h"
#include "auto_application.h"
#include "auto_printer.h"
#include "automation.h"
#include "automation_notify.h"
#include "automation_platform.h"
#include "device_test_support.h"
#include "watch_state.h"

namespace {

// The fake spooler: printers with job byte counts; a test changes a count and signals.
struct FakeSpooler {
    struct Printer {
        std::string name, driver, port;
        uint32_t jobs = 0;
        HANDLE event = nullptr;
    };
    static inline std::vector<Printer> printers;
    static inline bool refuseOpen = false;
    static inline std::atomic<int> watched{0};
    static Printer* Of(HANDLE h) { return static_cast<Printer*>(h); }

    static void Install(size_t count) {
        printers.assign(count, {});
        for (size_t i = 0; i < count; ++i) {
            char name[16], port[16];
            snprintf(name, sizeof name, "P%zu", i);
            snprintf(port, sizeof port, "USB%zu", 100 + i);
            // Like a change notification, the event stays signalled until the change is read.
            printers[i] = {name, "QZ Driver", port, 0, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        }
        refuseOpen = false;
        watched = 0;
        AutomationPlatform& a = Automation();
        a.localPrinters = [] {
            std::vector<LocalPrinter> list;
            for (const Printer& p : printers) list.push_back({p.name, p.driver, p.port});
            return list;
        };
        a.openPrinter = [](const std::string& name) -> HANDLE {
            if (refuseOpen) return nullptr;
            for (Printer& p : printers) {
                if (p.name == name) return &p;
            }
            return nullptr;
        };
        a.closePrinter = [](HANDLE) {};
        a.watchPrinter = [](HANDLE h) {
            ++watched;
            return Of(h)->event;
        };
        a.unwatchPrinter = [](HANDLE) { --watched; };
        a.readChange = [](HANDLE event, PrinterChange* change) {
            for (const Printer& p : printers) {
                if (p.event == event) {
                    ResetEvent(event);
                    change->jobsChanged = true;
                    change->hasJobCount = true;
                    change->jobCount = p.jobs;
                }
            }
            return true;
        };
        a.firstJobBytes = [](HANDLE h) { return Of(h)->jobs; };
    }
    static void SetJobs(size_t i, uint32_t jobs) {
        printers[i].jobs = jobs;
        SetEvent(printers[i].event);
    }
};

class Automation : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        saved = ::Automation();
        g_lib.serviceWindow = service;
    }
    void TearDown() override {
        for (DeviceEntry* d : started) {
            EndAutoPrinter(d);
            StopAutoApplication(d);
        }
        // End and release under a watchdog: a deadlock fails here instead of hanging.
        EXPECT_TRUE(PumpUntil([] { return WaitAutomationThreads(0); }, kEventWait));
        PumpUntil([] { return false; }, 50);
        ::Automation() = saved;
        for (auto& p : FakeSpooler::printers) CloseHandle(p.event);
        FakeSpooler::printers.clear();
        DeviceTest::TearDown();
    }
    DeviceEntry* PrinterDevice(uint32_t waitMs) {
        ReplyDevice d = Named("Laser");
        d.interfaceClass = 7;
        DeviceEntry* device = Create(d);
        LibraryLock lock;
        device->property->waitTimer = waitMs;
        device->info->status = kDeviceStatusFree;
        started.push_back(device);
        return device;
    }
    size_t Notices(UINT message, uint16_t kind, uint16_t reason) {
        size_t n = 0;
        for (const auto& r : client.received) n += r.message == message && r.kind == kind && r.flags == reason;
        return n;
    }
    bool Await(UINT message, uint16_t kind, uint16_t reason, size_t count = 1, DWORD ms = 5000) {
        return PumpUntil([&] { return Notices(message, kind, reason) >= count; }, ms);
    }
    AutomationPlatform saved;
    std::vector<DeviceEntry*> started;
};

TEST(ApplicationPaths, TheStoredListIsReadWithinItsSize) {
    const char list[] = "C:\\a.exe\0D:\\b.doc\0\0garbage";
    struct Case {
        uint32_t size;
        std::vector<std::string> paths;
    } cases[] = {{sizeof list, {"C:\\a.exe", "D:\\b.doc"}}, {12, {"C:\\a.exe", "D:\\"}}, {8, {"C:\\a.exe"}}, {0, {}}};
    for (const Case& c : cases) {
        EXPECT_EQ(ApplicationPaths(reinterpret_cast<const uint8_t*>(list), c.size), c.paths) << c.size;
    }
}

TEST_F(Automation, WatchedProgramsAreReportedAndTheirEndAsksForADisconnect) {
    DeviceEntry* device = PrinterDevice(0);
    static const char kList[] = "C:\\docs\\plan.txt\0";
    {
        LibraryLock lock;
        device->property->applicationList = static_cast<uint8_t*>(DeviceHeapAlloc(sizeof kList));
        memcpy(device->property->applicationList, kList, sizeof kList);
        device->property->applicationSize = sizeof kList;
        device->property->application = 0x1 | 0x4 | 0x100 | 0x200;
        device->info->status = kDeviceStatusConnected;
    }
    ::Automation().associatedProgram = [](const std::string&) { return std::string("C:\\tools\\editor.exe"); };
    AutoApplicationState state;
    // The document counts the processes of the program associated with it.
    SetProcessesForTests({{7, "c:\\TOOLS\\editor.exe"}});
    AutoApplicationRound(server->serverWindow, device, &state);
    EXPECT_TRUE(Await(PNXN_APPLICATION, PNXET_CONNECT, 0));
    SetProcessesForTests({});
    AutoApplicationRound(server->serverWindow, device, &state);
    EXPECT_TRUE(Await(PNXN_APPLICATION, PNXET_DISCONNECT, 0));
    EXPECT_TRUE(Await(PNXN_DEVICE, PNXET_DISCONNECT, 2));
}

TEST_F(Automation, JobsConnectAndTheirEndDisconnectsAtOnceWithoutAWaitTime) {
    FakeSpooler::Install(1);
    DeviceEntry* device = PrinterDevice(0);
    ASSERT_TRUE(StartAutoPrinter(device, {{"QZ Driver", "USB100"}}, false, "", 0));
    FakeSpooler::SetJobs(0, 4096);
    ASSERT_TRUE(Await(PNXN_DEVICE, PNXET_CONNECT, 3));
    {
        LibraryLock lock;
        device->info->status = kDeviceStatusConnected;
        device->connectAction = 3;
    }
    EXPECT_TRUE(AutoPrinterHasJobs(device));
    FakeSpooler::SetJobs(0, 0);
    EXPECT_TRUE(Await(PNXN_DEVICE, PNXET_DISCONNECT, 3));
}

TEST_F(Automation, ANewJobDuringTheWaitTimeKeepsTheDevice) {
    FakeSpooler::Install(1);
    DeviceEntry* device = PrinterDevice(1500);
    {
        LibraryLock lock;
        device->info->status = kDeviceStatusConnected;
        device->connectAction = 3;
    }
    FakeSpooler::printers[0].jobs = 100;
    ASSERT_TRUE(StartAutoPrinter(device, {{"QZ Driver", "USB100"}}, false, "", 0));
    ASSERT_TRUE(PumpUntil([&] { return AutoPrinterHasJobs(device); }, kEventWait));
    FakeSpooler::SetJobs(0, 0);
    PumpUntil([] { return false; }, 300);
    FakeSpooler::SetJobs(0, 200);  // printing again inside the wait
    PumpUntil([] { return false; }, 2000);
    EXPECT_EQ(Notices(PNXN_DEVICE, PNXET_DISCONNECT, 3), 0u);
    // The new job counts: its end starts a wait of its own, and that one disconnects.
    FakeSpooler::SetJobs(0, 0);
    EXPECT_TRUE(Await(PNXN_DEVICE, PNXET_DISCONNECT, 3, 1, 6000));
}

TEST_F(Automation, PrintersThatDoNotOpenTurnAutoPrinterOffAndOnlySixtyThreeAreWatched) {
    FakeSpooler::Install(70);
    DeviceEntry* many = PrinterDevice(0);
    std::vector<PrinterPair> pairs;
    for (const auto& p : FakeSpooler::printers) pairs.push_back({p.driver, p.port});
    ASSERT_TRUE(StartAutoPrinter(many, pairs, false, "", 0));
    EXPECT_TRUE(PumpUntil([] { return FakeSpooler::watched.load() == 63; }, kEventWait));
    EndAutoPrinter(many);
    ASSERT_TRUE(PumpUntil([] { return FakeSpooler::watched.load() == 0; }, kEventWait));

    FakeSpooler::refuseOpen = true;
    DeviceEntry* none = PrinterDevice(0);
    {
        LibraryLock lock;
        none->property->property |= kPropertyAutomatic;
        none->property->printer |= kPrinterAutoPrinter | kPrinterManualList;
    }
    ASSERT_TRUE(StartAutoPrinter(none, {{"QZ Driver", "USB100"}}, false, "", 0));
    ASSERT_TRUE(Await(PNXN_DEVICE, PNXET_CHANGE, 2));
    LibraryLock lock;
    EXPECT_EQ(none->property->property & kPropertyAutomatic, 0);
    EXPECT_EQ(none->property->printer & kPrinterManualList, 0);
}

// Suspended, no wake-up of any kind connects or disconnects: not a new job, not a renew, not
// the release of a running disconnect wait. Resumed, the thread looks again and acts.
TEST_F(Automation, ASuspendedAutoPrinterNeitherConnectsNorDisconnectsUntilResumed) {
    FakeSpooler::Install(1);
    DeviceEntry* device = PrinterDevice(60000);
    ASSERT_TRUE(StartAutoPrinter(device, {{"QZ Driver", "USB100"}}, false, "", 0));
    ASSERT_TRUE(PumpUntil([] { return FakeSpooler::watched.load() == 1; }, kEventWait));
    SuspendAutoPrinter(device);
    FakeSpooler::SetJobs(0, 10);
    RenewAutoPrinter(device);
    PumpUntil([] { return false; }, 2000);
    EXPECT_EQ(Notices(PNXN_DEVICE, PNXET_CONNECT, 3), 0u);
    ResumeAutoPrinter(device);
    ASSERT_TRUE(Await(PNXN_DEVICE, PNXET_CONNECT, 3, 1, kEventWait));
    {
        LibraryLock lock;
        device->info->status = kDeviceStatusConnected;
        device->connectAction = 3;
    }
    FakeSpooler::SetJobs(0, 0);  // the jobs are gone: a 60 s disconnect wait starts
    PumpUntil([] { return false; }, 500);
    SuspendAutoPrinter(device);
    ReleaseAutoPrinterWait(device);
    PumpUntil([] { return false; }, 2000);
    EXPECT_EQ(Notices(PNXN_DEVICE, PNXET_DISCONNECT, 3), 0u);
    ResumeAutoPrinter(device);
    // Resumed, the jobs are still gone: the wait starts again, and its release disconnects.
    EXPECT_TRUE(PumpUntil(
        [&] {
            ReleaseAutoPrinterWait(device);
            return Notices(PNXN_DEVICE, PNXET_DISCONNECT, 3) >= 1;
        },
        kEventWait));
    EXPECT_EQ(Notices(PNXN_DEVICE, PNXET_CONNECT, 3), 1u);
}

// A scripted address-change notice that waits until it is withdrawn.
struct WaitingNotice : AddressChangeNotifier {
    DWORD Request(OVERLAPPED*) override {
        ++requests;
        return ERROR_IO_PENDING;
    }
    void Cancel(OVERLAPPED*) override { ++cancels; }
    std::atomic<int> requests{0};
    std::atomic<int> cancels{0};
};

// Every device gets its Auto Application watcher, with or without an application list. The
// library's end stops every automation and watcher thread, even one in a long disconnect wait,
// and the wait for them returns only once they have ended; the end asks for no disconnect.
TEST_F(Automation, EveryDeviceIsWatchedAndTheLibrarysEndStopsEveryThread) {
    FakeSpooler::Install(1);
    DeviceEntry* device = PrinterDevice(60000);
    {
        LibraryLock lock;
        device->info->status = kDeviceStatusConnected;
        device->connectAction = 3;
    }
    StartDeviceAutomation(server->serverWindow, device, 0);
    {
        LibraryLock lock;
        EXPECT_NE(device->autoApplication, nullptr);
    }
    FakeSpooler::printers[0].jobs = 10;
    ASSERT_TRUE(StartAutoPrinter(device, {{"QZ Driver", "USB100"}}, false, "", 0));
    ASSERT_TRUE(PumpUntil([&] { return AutoPrinterHasJobs(device); }, kEventWait));
    FakeSpooler::SetJobs(0, 0);  // a 60 s disconnect wait starts
    static WaitingNotice notice;
    ASSERT_TRUE(StartAddressWatchWith(service, notice, kAddressPollInterval));
    ASSERT_TRUE(PumpUntil([] { return notice.requests.load() == 1; }, kEventWait));
    PumpUntil([] { return false; }, 500);

    ASSERT_TRUE(WaitAutomationThreads(kEventWait));
    EXPECT_EQ(notice.cancels.load(), 1);  // the address watcher withdrew its request and ended
    EXPECT_FALSE(HasAutoPrinter(device));
    {
        LibraryLock lock;
        EXPECT_EQ(device->autoApplication, nullptr);
    }
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(Notices(PNXN_DEVICE, PNXET_DISCONNECT, 3), 0u);
}

// The real list names each program by its file, this test program among them.
TEST(AutomationPlatform, TheProcessListNamesThisProgramByItsFile) {
    char own[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, own, MAX_PATH), 0u);
    bool found = false;
    for (const RunningProcess& p : WindowsAutomation().processes())
        found = found || (p.id == GetCurrentProcessId() && _stricmp(p.path.c_str(), own) == 0);
    EXPECT_TRUE(found) << own;
}

}  // namespace
