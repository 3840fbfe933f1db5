// Comment marking against printers of the prefix's own spooler. The spooler's printer list is
// the session's: each test holds the printer-set lock while the code under test enumerates it.
#include <gtest/gtest.h>
#include <windows.h>

#include "pair_table.h"
#include "printer_comments.h"
#include "test_pair_table.h"
#include "test_printers.h"

namespace {

using helper_test::PrinterSetLock;
using helper_test::TestIni;
using helper_test::TestPrinter;
using helper_test::UniqueName;

using PrinterCommentsTest = helper_test::WithPairTable;

TEST_F(PrinterCommentsTest, MarksListedPairsAndRestoresThem) {
    std::string text = "Marked " + UniqueName("");
    TestIni ini(text);
    TestPrinter listed(UniqueName("QZHA") + ":", "");
    TestPrinter otherPort(UniqueName("QZHB") + ":", "");
    TestPrinter carrier(UniqueName("QZHC") + ":", text);  // carries the text but is no longer listed
    TestPrinter user(UniqueName("QZHD") + ":", "my own note");
    ASSERT_TRUE(listed.ok() && otherPort.ok() && carrier.ok() && user.ok());
    AddPairRow(list_, 0, "qz helper TEST driver", listed.port().c_str());
    AddPairRow(list_, 0, helper_test::kTestDriver, "QZHB_nothing:");

    PrinterSetLock still;
    MarkListedPrinters(list_, ReadCommentText(ini.path()));
    EXPECT_EQ(listed.Comment(), text);
    EXPECT_EQ(otherPort.Comment(), "");
    EXPECT_EQ(user.Comment(), "my own note");

    ASSERT_EQ(RestorePrinterComments(ini.path(), helper_test::kTestDriver, listed.port().c_str()), 1);
    EXPECT_EQ(listed.Comment(), "");
    EXPECT_EQ(carrier.Comment(), "");
    EXPECT_EQ(user.Comment(), "my own note");
}

TEST_F(PrinterCommentsTest, EmptyTextNeitherMarksNorClears) {
    TestIni ini("");
    EXPECT_EQ(ReadCommentText(ini.path()), "");
    TestPrinter printer(UniqueName("QZHE") + ":", "my own note");
    ASSERT_TRUE(printer.ok());
    AddPairRow(list_, 0, helper_test::kTestDriver, printer.port().c_str());

    PrinterSetLock still;
    MarkListedPrinters(list_, ReadCommentText(ini.path()));
    EXPECT_EQ(RestorePrinterComments(ini.path(), helper_test::kTestDriver, printer.port().c_str()), 1);
    EXPECT_EQ(printer.Comment(), "my own note");
}

// An administrator moves the printer and turns its paper after the service listed the printers
// and before it writes the comment: both changes survive the write.
TEST_F(PrinterCommentsTest, CommentWriteKeepsWhatChangedSinceTheListing) {
    TestPrinter printer(UniqueName("QZHF") + ":", "");
    ASSERT_TRUE(printer.ok());
    PrinterSetLock still;
    LocalPrinters listing;
    ASSERT_TRUE(listing.Load());
    const PRINTER_INFO_2A* listed = nullptr;
    for (DWORD i = 0; i < listing.count(); ++i) {
        if (listing[i].pPrinterName && printer.name() == listing[i].pPrinterName) listed = &listing[i];
    }
    ASSERT_NE(listed, nullptr);

    bool changed = false;
    ASSERT_TRUE(printer.WithRecord([&](PRINTER_INFO_2A& info, HANDLE handle) {
        info.pLocation = const_cast<char*>("Room 2");
        ASSERT_NE(info.pDevMode, nullptr);
        info.pDevMode->dmFields |= DM_ORIENTATION;
        info.pDevMode->dmOrientation = DMORIENT_LANDSCAPE;
        changed = SetPrinterA(handle, 2, reinterpret_cast<BYTE*>(&info), 0);
    }));
    ASSERT_TRUE(changed);

    EXPECT_EQ(SetPrinterComment(listed, "Marked"), 1);
    EXPECT_TRUE(printer.WithRecord([](PRINTER_INFO_2A& info, HANDLE) {
        EXPECT_STREQ(info.pComment, "Marked");
        EXPECT_STREQ(info.pLocation, "Room 2");
        ASSERT_NE(info.pDevMode, nullptr);
        EXPECT_EQ(info.pDevMode->dmOrientation, DMORIENT_LANDSCAPE);
    }));
}

}  // namespace
