#include "search_filter.h"

#include <cstring>
#include <string>
#include <vector>

#include "lib_lock.h"

namespace {
constexpr int kKinds[] = {kFilterIpv4, kFilterKind2, kFilterHardware, kFilterModel};
constexpr int kKindCount = 4;
constexpr int kSetCount = 2;
// A caller's list ends with an empty text; these bounds keep a list that lacks it from
// running on through the caller's memory.
constexpr size_t kMaxFilterEntries = 1024;
constexpr size_t kMaxFilterEntryLength = 260;

struct FilterList {
    bool on = false;
    std::vector<std::string> entries;
};

FilterList g_filters[kSetCount][kKindCount];  // library lock

int KindIndex(int kind) {
    for (int i = 0; i < kKindCount; ++i) {
        if (kKinds[i] == kind) return i;
    }
    return -1;
}

bool ValidSet(int set) { return set == kFilterSetA || set == kFilterSetB; }

bool BeginsWith(const char* text, const std::string& prefix) {
    return _strnicmp(text, prefix.c_str(), prefix.size()) == 0;
}

// A list that is on passes a text that begins with one of its entries.
bool ListAccepts(const FilterList& list, const char* text) {
    if (!list.on) return true;
    if (!text) text = "";
    for (const std::string& entry : list.entries) {
        if (BeginsWith(text, entry)) return true;
    }
    return false;
}
}  // namespace

bool SearchFilterAccepts(int set, const char* ipv4Text, const char* hardwareText, const char* model) {
    if (!ValidSet(set)) return true;
    LibraryLock lock;
    const FilterList* lists = g_filters[set];
    return ListAccepts(lists[KindIndex(kFilterIpv4)], ipv4Text) &&
           ListAccepts(lists[KindIndex(kFilterHardware)], hardwareText) &&
           ListAccepts(lists[KindIndex(kFilterModel)], model);
}

bool SetSearchFilterList(int set, int kind, const char* list) {
    int index = KindIndex(kind);
    if (!ValidSet(set) || index < 0) return false;
    FilterList copy;
    if (list) {
        copy.on = true;
        for (const char* p = list; *p && copy.entries.size() < kMaxFilterEntries;) {
            size_t length = strnlen(p, kMaxFilterEntryLength);
            copy.entries.emplace_back(p, length);
            p += length;
            // An entry longer than the bound is cut; its rest is skipped, not read as entries.
            while (*p) ++p;
            ++p;
        }
    }
    LibraryLock lock;
    g_filters[set][index] = std::move(copy);
    return true;
}

int SearchFilterEntryCount(int set, int kind) {
    int index = KindIndex(kind);
    if (!ValidSet(set) || index < 0) return 0;
    LibraryLock lock;
    return static_cast<int>(g_filters[set][index].entries.size());
}

std::string SearchFilterEntry(int set, int kind, int entry) {
    int index = KindIndex(kind);
    if (!ValidSet(set) || index < 0 || entry < 0) return {};
    LibraryLock lock;
    const std::vector<std::string>& entries = g_filters[set][index].entries;
    return static_cast<size_t>(entry) < entries.size() ? entries[entry] : std::string();
}

void ClearSearchFilters() {
    LibraryLock lock;
    for (auto& set : g_filters) {
        for (FilterList& list : set) list = FilterList{};
    }
}

void FreeSearchFilters() { ClearSearchFilters(); }
