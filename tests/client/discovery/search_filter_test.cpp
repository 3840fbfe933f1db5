// The two search filter sets: case-insensitive prefixes, one list per kind, and every list
// that is on must pass.
#include <gtest/gtest.h>

#include <string>

#include "lib_test_support.h"
#include "search_filter.h"

namespace {

// A caller's list: texts separated by NULs, ended by an empty text.
std::string List(std::initializer_list<const char*> entries) {
    std::string list;
    for (const char* e : entries) list.append(e).push_back('\0');
    return list + '\0';
}

class SearchFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        ClearSearchFilters();
    }
    void TearDown() override { ClearSearchFilters(); }
};

TEST_F(SearchFilterTest, AddressPrefixOfTwoOctetsAcceptsTheWholeNetworkInSetAOnly) {
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetA, nullptr, nullptr, nullptr)) << "no list on";
    ASSERT_TRUE(SetSearchFilterList(kFilterSetA, kFilterIpv4, List({"10.77."}).c_str()));
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetA, "10.77.0.2", "", ""));
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetA, "10.77.255.254", "", ""));
    EXPECT_FALSE(SearchFilterAccepts(kFilterSetA, "10.78.0.2", "", ""));
    EXPECT_FALSE(SearchFilterAccepts(kFilterSetA, "110.77.0.2", "", ""));
    EXPECT_FALSE(SearchFilterAccepts(kFilterSetA, nullptr, "", ""));
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetB, "192.168.0.1", "", ""));
}

TEST_F(SearchFilterTest, PrefixesIgnoreCaseAnyEntryMatchesAndEveryListOnMustPass) {
    ASSERT_TRUE(SetSearchFilterList(kFilterSetB, kFilterHardware, List({"00:11:22", "AA:BB"}).c_str()));
    ASSERT_TRUE(SetSearchFilterList(kFilterSetB, kFilterModel, List({"qz-"}).c_str()));
    ASSERT_TRUE(SetSearchFilterList(kFilterSetB, kFilterKind2, List({"never applied"}).c_str()));
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetB, "", "00:11:22:33:44:55", "QZ-100"));
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetB, "", "aa:bb:cc:dd:ee:ff", "Qz-7"));
    EXPECT_FALSE(SearchFilterAccepts(kFilterSetB, "", "00:11:23:33:44:55", "QZ-100"));
    EXPECT_FALSE(SearchFilterAccepts(kFilterSetB, "", "00:11", "QZ-100")) << "shorter than the entry";
    EXPECT_FALSE(SearchFilterAccepts(kFilterSetB, "", "00:11:22:33:44:55", "ZK-5260TD"));
    // A null list switches its kind off again.
    ASSERT_TRUE(SetSearchFilterList(kFilterSetB, kFilterModel, nullptr));
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetB, "", "00:11:22:33:44:55", "ZK-5260TD"));
}

TEST_F(SearchFilterTest, ListsAreCopiedEntryByEntryAndUnknownKindsRefused) {
    std::string list = List({"10.1.", "10.2.", "10.3."});
    ASSERT_TRUE(SetSearchFilterList(kFilterSetA, kFilterIpv4, list.c_str()));
    list.assign(list.size(), 'x');  // the caller's buffer may change or go
    EXPECT_EQ(SearchFilterEntryCount(kFilterSetA, kFilterIpv4), 3);
    EXPECT_EQ(SearchFilterEntry(kFilterSetA, kFilterIpv4, 2), "10.3.");
    EXPECT_TRUE(SearchFilterAccepts(kFilterSetA, "10.2.9.9", "", ""));
    for (int kind : {0, 3, 16, -1}) EXPECT_FALSE(SetSearchFilterList(kFilterSetA, kind, "a\0")) << kind;
    EXPECT_FALSE(SetSearchFilterList(2, kFilterIpv4, "a\0"));
}

}  // namespace
