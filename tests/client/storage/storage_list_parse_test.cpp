// The storage-list reply parser: layout, limits and truncation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage_list_parse.h"

namespace {

struct Share {
    std::string label, name;
    uint32_t v1 = 0, v2 = 0;
    uint8_t flags = kShareMounted;
};

void Text(std::vector<uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

void Be(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Storage(std::vector<uint8_t>& out, const std::string& name, const std::vector<Share>& shares) {
    Text(out, name);
    Text(out, "text of " + name);
    Be(out, 0x0781, 2);
    Be(out, 0x5583, 2);
    out.push_back(static_cast<uint8_t>(shares.size()));
    for (const Share& s : shares) {
        Text(out, s.label);
        Text(out, s.name);
        Be(out, s.v1, 4);
        Be(out, s.v2, 4);
        out.push_back(s.flags);
    }
}

TEST(StorageListParse, ReadsEveryShareOfEveryStorage) {
    std::vector<uint8_t> reply = {2};
    Storage(reply, "USB1", {{"Photos", "share1", 1, 2}, {"", "share2", 3, 4, kShareFlag}});
    Storage(reply, "USB2", {{"\xC3\x9C" "bung", "s\xC3\xA9", 5, 0x01020304, kShareMounted | kShareFlag}});
    std::vector<StorageShare> shares = ParseStorageList(reply.data(), reply.size());
    ASSERT_EQ(shares.size(), 3u);
    EXPECT_EQ(shares[0].storageName, "USB1");
    EXPECT_EQ(shares[0].storageText, "text of USB1");
    EXPECT_EQ(shares[0].vid, 0x0781);
    EXPECT_EQ(shares[0].label, "Photos");
    EXPECT_EQ(shares[0].State(), kNasStateMounted);
    EXPECT_EQ(shares[1].label, "");
    EXPECT_EQ(shares[1].State(), kNasStateNotMounted);
    EXPECT_EQ(shares[2].label, "\xC3\x9C" "bung");
    EXPECT_EQ(shares[2].value2, 0x01020304u);
    EXPECT_EQ(shares[2].flags, kShareMounted | kShareFlag);
}

TEST(StorageListParse, StopsAtTheFirstIncompleteStorageOrShareAndKeepsTheRest) {
    std::vector<uint8_t> reply = {3};
    Storage(reply, "USB1", {{"a", "s1"}});
    size_t first = reply.size();
    Storage(reply, "USB2", {{"b", "s2"}, {"c", "s3"}});
    for (size_t cut = 0; cut < reply.size(); ++cut) {
        std::vector<StorageShare> shares = ParseStorageList(reply.data(), cut);
        EXPECT_LT(shares.size(), 3u) << cut;
        EXPECT_EQ(shares.size() >= 1, cut >= first) << cut;
        for (const StorageShare& s : shares) EXPECT_FALSE(s.shareName.empty()) << cut;
    }
    EXPECT_EQ(ParseStorageList(reply.data(), reply.size()).size(), 3u);
    // A name longer than 31 characters is no storage of a server: the parse ends there.
    std::vector<uint8_t> longName = {1};
    Storage(longName, std::string(32, 'n'), {{"a", "s"}});
    EXPECT_TRUE(ParseStorageList(longName.data(), longName.size()).empty());
    EXPECT_TRUE(ParseStorageList(nullptr, 0).empty());
    const uint8_t countOnly[] = {200};
    EXPECT_TRUE(ParseStorageList(countOnly, 1).empty());
}

}  // namespace
