// The service window's printer and process watchers against scripted printer and process
// tables: the printer list (list 1004) follows the printers on device ports and each printer
// that comes or goes is reported; a stop returns only once its watcher has ended.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "automation_platform.h"
#include "session_test_support.h"
#include "watchers.h"

namespace {

// The tables the watchers read; a look can be held inside its call for a while.
struct Tables {
    static inline std::mutex mutex;
    static inline std::vector<LocalPrinter> printers;
    static inline std::atomic<DWORD> holdMs{0};
    static inline std::atomic<int> insidePrinters{0};
    static inline std::atomic<int> insideProcesses{0};

    static void Hold(std::atomic<int>& inside) {
        if (DWORD ms = holdMs.load()) {
            ++inside;
            Sleep(ms);
            --inside;
        }
    }
    static void SetPrinters(std::vector<LocalPrinter> now) {
        std::lock_guard<std::mutex> guard(mutex);
        printers = std::move(now);
    }
};

class Watchers : public SessionTest {
protected:
    void SetUp() override {
        saved = Automation();
        Tables::holdMs = 0;
        Tables::SetPrinters({{"Laser", "QZ Driver", "USB001"}, {"Office", "QZ Driver", "LPT1:"}});
        Automation().localPrinters = [] {
            Tables::Hold(Tables::insidePrinters);
            std::lock_guard<std::mutex> guard(Tables::mutex);
            return Tables::printers;
        };
        Automation().processes = [] {
            Tables::Hold(Tables::insideProcesses);
            return std::vector<RunningProcess>{};
        };
        SessionTest::SetUp();  // the service window starts the watchers on the tables
    }
    void TearDown() override {
        Tables::holdMs = 0;
        SessionTest::TearDown();
        Automation() = saved;
    }
    std::vector<std::pair<std::string, std::string>> PrinterRows() {
        std::vector<std::pair<std::string, std::string>> rows;
        HWND list = GetDlgItem(service, kIdPrinterList);
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            char name[256] = "", port[64] = "";
            ListView_GetItemText(list, row, 0, name, sizeof name);
            ListView_GetItemText(list, row, 1, port, sizeof port);
            rows.emplace_back(name, port);
        }
        return rows;
    }
    AutomationPlatform saved;
};

using Rows = std::vector<std::pair<std::string, std::string>>;

TEST_F(Watchers, ThePrinterListFollowsTheDevicePrintersAndReportsWhatCameAndWent) {
    ASSERT_TRUE(PumpUntil([&] { return PrinterRows() == Rows{{"Laser", "USB001"}}; }, kEventWait));
    Tables::SetPrinters({{"Label", "QZ Driver", "DOT4_001"}, {"Office", "QZ Driver", "LPT1:"}});
    EXPECT_TRUE(PumpUntil(
        [&] {
            return PrinterRows() == Rows{{"Label", "DOT4_001"}} && Logged(service, ">> Add Printer Object!! (Label) <<") &&
                   Logged(service, ">> Delete Printer Object!! (Laser) <<");
        },
        kEventWait));
    EXPECT_FALSE(Logged(service, ">> Add Printer Object!! (Laser) <<"));  // the first look only fills the list
}

TEST_F(Watchers, AStopReturnsOnlyOnceItsWatcherHasEnded) {
    struct Case {
        const char* watcher;
        std::atomic<int>* inside;
        void (*stop)();
    } cases[] = {{"printers", &Tables::insidePrinters, StopPrinterWatch},
                 {"processes", &Tables::insideProcesses, StopProcessWatch}};
    for (const Case& c : cases) {
        Tables::holdMs = 3000;  // a look that takes its time, beyond a stop that gives up after 2 s
        ASSERT_TRUE(PumpUntil([&] { return c.inside->load() == 1; }, kEventWait)) << c.watcher;
        Tables::holdMs = 0;
        c.stop();
        EXPECT_EQ(c.inside->load(), 0) << c.watcher;
    }
}

}  // namespace
