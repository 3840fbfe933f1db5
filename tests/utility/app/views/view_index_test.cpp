// The views' handle index: records and items found by handle, and a row's position kept right
// through insertions, deletions and sorts, with one row read per look-up while the known order
// holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "list_view.h"
#include "tree_view.h"
#include "view_index.h"

namespace {

TEST(ViewIndex, RowPositionsFollowInsertsDeletesAndSorts) {
    std::vector<std::unique_ptr<ListRowRecord>> owned;
    std::vector<const ListRowRecord*> list;  // the list control's rows, as it orders them
    ListRowIndex index;
    int reads = 0;
    auto rowAt = [&](int i) -> const ListRowRecord* {
        ++reads;
        return i >= 0 && i < static_cast<int>(list.size()) ? list[i] : nullptr;
    };
    auto insert = [&](uint64_t handle, int at) {
        owned.push_back(std::make_unique<ListRowRecord>());
        owned.back()->handle = handle;
        list.insert(list.begin() + at, owned.back().get());
        index.Inserted(owned.back().get(), at);
    };
    auto erase = [&](uint64_t handle) {
        ListRowRecord* record = index.Find(handle);
        ASSERT_NE(record, nullptr) << handle;
        list.erase(std::find(list.begin(), list.end(), record));
        index.Removed(record);
    };
    auto expectAll = [&](const char* step) {
        ASSERT_EQ(index.Size(), list.size()) << step;
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(index.Find(list[i]->handle), list[i]) << step;
            EXPECT_EQ(index.Position(list[i], static_cast<int>(list.size()), rowAt), static_cast<int>(i)) << step;
        }
    };

    for (uint64_t h = 1; h <= 6; ++h) insert(h * 10, static_cast<int>(list.size()));  // appended, as the handlers do
    insert(70, 0);
    insert(80, 3);
    expectAll("inserted");
    reads = 0;
    expectAll("again");
    EXPECT_EQ(reads, static_cast<int>(list.size())) << "one read a look-up while the order is known";

    std::reverse(list.begin(), list.end());  // the list sorts itself
    index.Sorted();
    expectAll("sorted");
    std::rotate(list.begin(), list.begin() + 2, list.end());  // a sort the index was not told of
    expectAll("moved behind its back");

    erase(10);
    erase(list.back()->handle);
    erase(list.front()->handle);
    expectAll("deleted");

    ListRowRecord stranger{};
    stranger.handle = 999;
    reads = 0;
    EXPECT_EQ(index.Position(&stranger, static_cast<int>(list.size()), rowAt), -1);
    EXPECT_EQ(reads, 0) << "a record of no row costs no read";
    index.Removed(&stranger);
    ListRowRecord twin{};
    twin.handle = list.front()->handle;  // a record that never reached the list keeps the row's
    index.Removed(&twin);
    expectAll("strangers removed");

    index.Clear();
    EXPECT_EQ(index.Find(list.front()->handle), nullptr);
    EXPECT_TRUE(index.Records().empty());
}

TEST(ViewIndex, TreeItemsByServerAndDevice) {
    TreeItemIndex index;
    TreeItemRecord server{1, 0, nullptr, nullptr}, device{0, 2, nullptr, nullptr}, again{0, 2, nullptr, nullptr};
    auto item = [](int n) { return reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(n)); };
    index.Inserted(&server, item(100));
    index.Inserted(&device, item(200));
    EXPECT_EQ(index.Server(1), item(100));
    EXPECT_EQ(index.Device(2), item(200));
    EXPECT_EQ(index.Device(1), nullptr);
    EXPECT_EQ(index.Server(2), nullptr);

    index.Inserted(&again, item(300));  // the device shown anew before its old item's record goes
    index.Removed(&device);
    EXPECT_EQ(index.Device(2), item(300));
    index.Removed(&again);
    index.Removed(&server);
    EXPECT_EQ(index.Device(2), nullptr);
    EXPECT_EQ(index.Server(1), nullptr);
}

}  // namespace
