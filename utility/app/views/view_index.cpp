#include "view_index.h"

#include <algorithm>
#include <iterator>

#include "list_view.h"
#include "tree_view.h"

void ListRowIndex::Inserted(ListRowRecord* record, int position) {
    if (!record) return;
    byHandle_[record->handle] = record;
    const auto at = position < 0 || static_cast<size_t>(position) > order_.size() ? order_.end()
                                                                                 : order_.begin() + position;
    order_.insert(at, record);
}

void ListRowIndex::Removed(const ListRowRecord* record) {
    if (!record) return;
    if (auto found = byHandle_.find(record->handle); found != byHandle_.end() && found->second == record) {
        byHandle_.erase(found);
    }
    // Rows mostly leave from the end (the program's exit) or one at a time: a memory search.
    const auto at = std::find(order_.rbegin(), order_.rend(), record);
    if (at != order_.rend()) order_.erase(std::next(at).base());
}

void ListRowIndex::Clear() {
    byHandle_.clear();
    order_.clear();
    stale_ = false;
}

ListRowRecord* ListRowIndex::Find(uint64_t handle) const {
    const auto found = byHandle_.find(handle);
    return found == byHandle_.end() ? nullptr : found->second;
}

void ListRowIndex::Reread(int count, const RowReader& rowAt) {
    order_.clear();
    for (int i = 0; i < count; ++i) order_.push_back(rowAt(i));
    stale_ = false;
}

int ListRowIndex::Position(const ListRowRecord* record, int count, const RowReader& rowAt) {
    if (!record || Find(record->handle) != record) return -1;  // no row of the list holds it
    for (int pass = 0; pass < 2; ++pass) {
        if (!stale_ && static_cast<int>(order_.size()) == count) {
            const auto at = std::find(order_.begin(), order_.end(), record);
            const int position = static_cast<int>(at - order_.begin());
            if (at != order_.end() && rowAt(position) == record) return position;
        }
        Reread(count, rowAt);  // the known order proved wrong
    }
    return -1;
}

const std::vector<const ListRowRecord*>& ListRowIndex::Order(int count, const RowReader& rowAt) {
    const bool known = !stale_ && static_cast<int>(order_.size()) == count &&
                       (count == 0 || (rowAt(0) == order_.front() && rowAt(count - 1) == order_.back()));
    if (!known) Reread(count, rowAt);
    return order_;
}

std::vector<ListRowRecord*> ListRowIndex::Records() const {
    std::vector<ListRowRecord*> out;
    out.reserve(byHandle_.size());
    for (const auto& entry : byHandle_) out.push_back(entry.second);
    return out;
}

void TreeItemIndex::Inserted(const TreeItemRecord* record, HTREEITEM item) {
    if (!record || !item) return;
    if (record->server) servers_[record->server] = {item, record};
    if (record->device) devices_[record->device] = {item, record};
}

void TreeItemIndex::Removed(const TreeItemRecord* record) {
    if (!record) return;
    auto drop = [record](std::unordered_map<uint64_t, Entry>& map, uint64_t handle) {
        auto found = map.find(handle);
        if (found != map.end() && found->second.record == record) map.erase(found);
    };
    if (record->server) drop(servers_, record->server);
    if (record->device) drop(devices_, record->device);
}

void TreeItemIndex::Clear() {
    servers_.clear();
    devices_.clear();
}

HTREEITEM TreeItemIndex::Server(uint64_t server) const {
    const auto found = servers_.find(server);
    return found == servers_.end() ? nullptr : found->second.item;
}

HTREEITEM TreeItemIndex::Device(uint64_t device) const {
    const auto found = devices_.find(device);
    return found == devices_.end() ? nullptr : found->second.item;
}
