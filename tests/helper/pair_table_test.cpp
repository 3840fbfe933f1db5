// The pair table: driver names match in any case, ports exactly, new rows go on top.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "pair_table.h"
#include "test_pair_table.h"

namespace {

using PairTableTest = helper_test::WithPairTable;

TEST_F(PairTableTest, FindsDriverInAnyCaseButPortExactly) {
    AddPairRow(list_, 0, "Office Laser", "USB001");
    AddPairRow(list_, 0, "Office Laser", "USB002");
    AddPairRow(list_, 0, "Label Printer", "USB001");

    int row = -1;
    EXPECT_EQ(FindPairRow(list_, "office LASER", "USB001", &row), 1);
    EXPECT_EQ(row, 2);  // the oldest row is at the bottom
    EXPECT_EQ(FindPairRow(list_, "Office Laser", "USB002", &row), 1);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(FindPairRow(list_, "Office Laser", "usb001", &row), 0);
    EXPECT_EQ(FindPairRow(list_, "Office Laser", "USB00", &row), 0);
    EXPECT_EQ(FindPairRow(list_, "Office", "USB001", &row), 0);
    EXPECT_EQ(FindPairRow(list_, "Label Printer", "USB002", &row), 0);

    DeletePairRow(list_, 2);
    EXPECT_EQ(FindPairRow(list_, "Office Laser", "USB001", &row), 0);
    DeleteAllPairRows(list_);
    EXPECT_TRUE(ReadPairRows(list_).empty());
}

TEST_F(PairTableTest, KeepsFullLengthTexts) {
    std::string driver(255, 'd');
    std::string port(31, 'p');
    AddPairRow(list_, 0, driver.c_str(), port.c_str());
    auto rows = ReadPairRows(list_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].driver, driver);
    EXPECT_EQ(rows[0].port, port);
    int row = -1;
    EXPECT_EQ(FindPairRow(list_, driver.c_str(), port.c_str(), &row), 1);
}

}  // namespace
