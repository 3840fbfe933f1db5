// Where the views show each handle: the device list's row record of every device and storage
// entry, and the tree's item of every server, device and storage entry, so that the
// notification handlers find their row or item without walking the views.
//
// The list index keeps records, never row numbers: rows move with every sort, insertion and
// deletion. It also keeps the rows' order as last known, to answer "which row shows this
// record" without a search through the list; that order is only a guess, checked against the
// list on every use and read again from the list when it proves wrong.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

struct ListRowRecord;
struct TreeItemRecord;

class ListRowIndex {
public:
    // Reads the record of the list's row at a position (null for none).
    using RowReader = std::function<const ListRowRecord*(int)>;

    // A row of `record` now stands at `position` (the list's answer to the insertion).
    void Inserted(ListRowRecord* record, int position);
    // The row of `record` left the list, or the record never reached it.
    void Removed(const ListRowRecord* record);
    // The list sorted its rows: the order is read again when next asked for (a burst of
    // notices sorts many times and asks for few positions in between).
    void Sorted() { stale_ = true; }
    void Clear();

    ListRowRecord* Find(uint64_t handle) const;
    // The position of the row of `record` in a list of `count` rows, or -1.
    int Position(const ListRowRecord* record, int count, const RowReader& rowAt);
    // Every row's record in the list's order (read again from the list when it proves wrong).
    const std::vector<const ListRowRecord*>& Order(int count, const RowReader& rowAt);
    // Every record, in no particular order.
    std::vector<ListRowRecord*> Records() const;
    size_t Size() const { return byHandle_.size(); }

private:
    void Reread(int count, const RowReader& rowAt);

    std::unordered_map<uint64_t, ListRowRecord*> byHandle_;
    std::vector<const ListRowRecord*> order_;
    bool stale_ = false;
};

class TreeItemIndex {
public:
    // `item` shows `record` (a server's when it has a server handle, else a device's).
    void Inserted(const TreeItemRecord* record, HTREEITEM item);
    // The item of `record` left the tree; an item that shows the same handle since stays.
    void Removed(const TreeItemRecord* record);
    void Clear();

    HTREEITEM Server(uint64_t server) const;
    HTREEITEM Device(uint64_t device) const;

private:
    struct Entry {
        HTREEITEM item;
        const TreeItemRecord* record;
    };
    std::unordered_map<uint64_t, Entry> servers_, devices_;
};
