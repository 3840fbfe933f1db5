// The utility's command-line switches and the checks of stored list settings.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "command_line.h"
#include "user_settings.h"

namespace {

TEST(CommandLine, SwitchesInEitherCaseEachUpToTheNextDash) {
    CommandLineOptions o;
    ParseCommandLine("-Dlog -M -p -s12 -i10.77.0.41", &o);
    EXPECT_EQ(o.log.flags, kLogToFile);
    EXPECT_TRUE(o.showMainDialog);
    EXPECT_TRUE(o.showServiceWindow);
    EXPECT_EQ(o.startDelaySeconds, 12u);
    EXPECT_TRUE(o.filterInUse && o.hasFilterAddress);
    EXPECT_EQ(o.filterAddress, inet_addr("10.77.0.41"));

    CommandLineOptions bad;
    ParseCommandLine("-inot-an-address -e01:02", &bad);  // -i sets the filter even so
    EXPECT_TRUE(bad.filterInUse && bad.hasFilterAddress);
    EXPECT_EQ(bad.filterAddress, INADDR_NONE);
    EXPECT_EQ(bad.macCount, 0u);  // fewer than 17 characters: ignored

    CommandLineOptions none;
    ParseCommandLine("-dout", &none);
    EXPECT_EQ(none.log.flags, kLogToDebugger);
    EXPECT_FALSE(none.filterInUse);
}

TEST(CommandLine, AnEighthMacEntryIsIgnoredAndTheEndSlotStaysZero) {
    std::string line;
    for (int i = 1; i <= 8; ++i) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "-e00:11:22:33:44:%02d ", i);
        line += entry;
    }
    CommandLineOptions o;
    ParseCommandLine(line.c_str(), &o);
    ASSERT_EQ(o.macCount, kFilterMaxEntries);
    EXPECT_STREQ(o.macBlock + 6 * kFilterSlotBytes, "00:11:22:33:44:07");
    EXPECT_EQ(o.macBlock[126], 0);
    EXPECT_EQ(o.macBlock[127], 0);
}

TEST(UserSettings, StoredColumnTablesThatCannotServeAsIndexesAreRefused) {
    ListColumnRow defaults[kListColumns];
    DefaultColumnTable(defaults);
    EXPECT_TRUE(ColumnSettingsValid(defaults, 0, 1));
    EXPECT_TRUE(ColumnSettingsValid(defaults, 4, 2));  // five shown columns

    struct Case {
        const char* what;
        void (*bend)(ListColumnRow*);
        uint32_t sortItem, sortOrder;
    } cases[] = {
        {"ids out of table order", [](ListColumnRow* r) { r[3].columnId = 9; }, 0, 1},
        {"a fixed column hidden", [](ListColumnRow* r) { r[1].shown = 0; r[1].order = -1; }, 0, 1},
        {"fixed column moved", [](ListColumnRow* r) { r[2].order = 3; r[3].order = 2; }, 0, 1},
        {"two columns in one place", [](ListColumnRow* r) { r[6].order = 3; }, 0, 1},
        {"a gap in the orders", [](ListColumnRow* r) { r[6].order = 7; }, 0, 1},
        {"a hidden column with a place", [](ListColumnRow* r) { r[4].order = 5; }, 0, 1},
        {"sort column not shown", [](ListColumnRow*) {}, 5, 1},
        {"sort order unknown", [](ListColumnRow*) {}, 0, 3},
    };
    for (const Case& c : cases) {
        ListColumnRow rows[kListColumns];
        DefaultColumnTable(rows);
        c.bend(rows);
        EXPECT_FALSE(ColumnSettingsValid(rows, c.sortItem, c.sortOrder)) << c.what;
    }
}

TEST(UserSettings, TheStatusTimerIsKeptInTheDialogsRange) {
    EXPECT_EQ(ClampStatusTimer(0), 3000u);
    EXPECT_EQ(ClampStatusTimer(2999), 3000u);
    EXPECT_EQ(ClampStatusTimer(30000), 30000u);
    EXPECT_EQ(ClampStatusTimer(600000), 60000u);
}

}  // namespace
