// The rules that the device list and the server tree share: table look-ups, texts, the
// column model, the row and item order, free space and the storage removals.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "user_settings.h"
#include "view_rules.h"

namespace {

int Plain(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b); }

TEST(ViewRules, UnknownCategoriesAndStatesGetRowsTheTablesHave) {
    struct Case {
        int category, classRow;
    } classes[] = {{18, 0}, {7, 1}, {6, 2}, {8, 3}, {1, 4}, {19, 5}, {3, 6}, {255, 7},
                   {23, kClassRowOther},  // the storage code is no USB category
                   {-1, kClassRowOther}, {0, kClassRowOther}, {99, kClassRowOther}};
    for (const Case& c : classes) EXPECT_EQ(ClassRowOfCategory(c.category), c.classRow) << c.category;
    EXPECT_EQ(NasClassRow(), kClassRowStorage);
    for (int code = 0; code < kStateRows; ++code) EXPECT_EQ(StateRowOfCode(code), code);
    for (int code : {-1, 8, 0x7FFF}) EXPECT_EQ(StateRowOfCode(code), 0) << code;

    std::wstring texts[kStateRows];
    for (int i = 0; i < kStateRows; ++i) texts[i] = kStateTable[i].defaultText;
    EXPECT_EQ(StateRowText(texts, kStateRowOther, L"PC-7"), L"PC-7 is using it");
    EXPECT_EQ(StateRowText(texts, kStateRowOther, nullptr), L" is using it");
    EXPECT_EQ(StateRowText(texts, 1, L"PC-7"), L"Not connected");
    EXPECT_EQ(StateRowText(texts, 200, L"PC-7"), L"Receiving status");
    texts[kStateRowOther] = L"%s %s %d %n";  // a message file's text is data, never a format
    EXPECT_EQ(StateRowText(texts, kStateRowOther, L"PC-7"), L"PC-7  %d %n");
}

TEST(ViewRules, AmpersandsAndEllipsis) {
    EXPECT_EQ(EscapeAmpersands(L"R&D && Co&", 1), L"R&&D &&&& Co&&");
    EXPECT_EQ(EscapeAmpersands(L"R&&D &&&& Co&&", 0), L"R&D && Co&");
    EXPECT_EQ(EscapeAmpersands(L"R&D &", 0), L"R&D &");

    auto width = [](const std::wstring& t) { return static_cast<int>(t.size()) * 10; };  // 10 px a character
    struct Case {
        const wchar_t* text;
        int maxWidth, extra;
        const wchar_t* shown;
    } cases[] = {
        {L"Printer", 70, 0, L"Printer"},      // fits exactly
        {L"Printer", 69, 0, L"Pri..."},       // "Prin..." would be 70
        {L"Printer", 100, 30, L"Printer"},    // text + extra fits
        {L"Printer", 90, 30, L"Pri..."},      // the extra counts with the dots
        {L"Printer", 10, 0, L"P..."},         // one character always stays
        {L"", 0, 5, L"..."},
    };
    for (const Case& c : cases) {
        std::wstring text = c.text;
        const int result = EllipsizeText(text, c.maxWidth, c.extra, width);
        EXPECT_EQ(text, c.shown) << c.text << " in " << c.maxWidth;
        EXPECT_EQ(result, width(text));
    }
}

TEST(ViewRules, ColumnModelThroughShowHideAndSortClicks) {
    ListColumnRow rows[kListColumns];
    DefaultColumnTable(rows);  // shown: 0 1 2 3 6
    EXPECT_EQ(ListColumnIndexOf(rows, 6), 4);
    EXPECT_EQ(ListColumnIndexOf(rows, 4), 4);  // where it would go when shown
    EXPECT_EQ(ListColumnIndexOf(rows, 7), 5);

    // Clicks: the same ascending column turns descending, anything else sorts ascending.
    SortState sort{};
    sort = SortAfterClick(sort, 0);
    EXPECT_EQ(sort.order, kSortDescending);
    sort = SortAfterClick(sort, 0);
    EXPECT_EQ(sort.order, kSortAscending);
    sort = SortAfterClick(SortAfterClick(sort, 4), 3);
    EXPECT_EQ(sort.column, 3u);
    EXPECT_EQ(sort.order, kSortAscending);

    // Sorted by the model (list column 4): showing the address (id 4) at index 4 shifts it,
    // showing the flag (id 7) after it does not; hiding a column left of it shifts it back,
    // hiding the sort column itself falls back to column 0 ascending.
    sort = {4, kSortDescending};
    bool resort = true;
    sort = SortAfterInsert(sort, ListColumnIndexOf(rows, 4));
    EXPECT_EQ(sort.column, 5u);
    rows[4].shown = 1;
    sort = SortAfterInsert(sort, ListColumnIndexOf(rows, 7));
    EXPECT_EQ(sort.column, 5u);
    sort = SortAfterDelete(sort, 3, &resort);
    EXPECT_EQ(sort.column, 4u);
    EXPECT_FALSE(resort);
    sort = SortAfterDelete(sort, 6, &resort);
    EXPECT_EQ(sort.column, 4u);
    sort = SortAfterDelete(sort, 4, &resort);
    EXPECT_TRUE(resort);
    EXPECT_EQ(sort.column, 0u);
    EXPECT_EQ(sort.order, kSortAscending);

    // After a show (order -1 until placed) and a hide the orders are a permutation again,
    // the table that the loader accepts on the next start; a damaged table is refused.
    DefaultColumnTable(rows);
    rows[6].order = 3;
    rows[3].order = 4;  // the user dragged the model before the host name
    rows[5].shown = 1;  // shown: goes last
    rows[3].shown = 0;  // hidden
    RenumberColumnOrders(rows);
    const int orders[kListColumns] = {0, 1, 2, -1, -1, 4, 3, -1};
    for (int i = 0; i < kListColumns; ++i) EXPECT_EQ(rows[i].order, orders[i]) << i;
    EXPECT_TRUE(ColumnSettingsValid(rows, 4, kSortAscending));
    EXPECT_FALSE(ColumnSettingsValid(rows, 5, kSortAscending));
    rows[5].order = 1;
    EXPECT_FALSE(ColumnSettingsValid(rows, 0, kSortAscending));
}

TEST(ViewRules, RowsCompareByColumnThenByNameInTheSameDirection) {
    const uint8_t macA[6] = {0, 0x51, 0x5A, 0, 0, 0x41}, macB[6] = {0, 0x51, 0x5A, 0, 0, 0x0F};
    const std::wstring textA = MacText(macA), textB = MacText(macB);
    EXPECT_EQ(textA, L"00:51:5A:00:00:41");
    const RowKey a{L"Alpha", 1, 2, L"LAB-2", AddressValue(L"10.77.0.9"), textA.c_str(), L"QZ-7000", 1};
    const RowKey b{L"Beta", 0, 1, L"LAB-1", AddressValue(L"10.77.0.10"), textB.c_str(), L"QZ-5400", 0};
    const RowKey same{L"Gamma", 1, 2, L"LAB-2", AddressValue(L"10.77.0.9"), textA.c_str(), L"QZ-7000", 1};
    struct Case {
        uint32_t column;
        int ab;  // a against b, ascending
    } cases[] = {{0, -1}, {1, 1}, {2, 1}, {3, 1}, {4, -1},  // 9 < 10 as numbers, not as text
                 {5, 1}, {6, 1}, {7, -1},                  // the flag set comes first
                 {99, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(CompareRows(a, b, c.column, kSortAscending, Plain), c.ab) << c.column;
        EXPECT_EQ(CompareRows(a, b, c.column, kSortDescending, Plain), -c.ab) << c.column;
        EXPECT_EQ(CompareRows(a, same, c.column, kSortAscending, Plain), -1) << c.column;  // equal: by name
        EXPECT_EQ(CompareRows(a, same, c.column, kSortDescending, Plain), 1) << c.column;
    }
    EXPECT_EQ(AddressValue(L"10.77.0.256"), 0u);
    EXPECT_EQ(AddressValue(L"host"), 0u);
    EXPECT_EQ(AddressValue(nullptr), 0u);
}

TEST(ViewRules, TreeItemTextsAndOrder) {
    EXPECT_EQ(ServerItemName(L"LAB-PRINT", L"10.77.0.40"), L"LAB-PRINT");
    EXPECT_EQ(ServerItemName(L"", L"10.77.0.40"), L"10.77.0.40");
    EXPECT_EQ(ServerItemSuffix(0x0000, L" (over current)", L" (network error)"), L"");
    EXPECT_EQ(ServerItemSuffix(0x0001, L" (over current)", L" (network error)"), L" (over current)");
    EXPECT_EQ(ServerItemSuffix(0x0005, L" (over current)", L" (network error)"), L" (network error)");
    EXPECT_EQ(ServerItemSuffix(0x000A, L" (over current)", L" (network error)"), L"");

    EXPECT_LT(CompareTreeDevices(0, L"Zeta", 1, L"Alpha", Plain), 0);  // class row first
    EXPECT_GT(CompareTreeDevices(1, L"Zeta", 1, L"Alpha", Plain), 0);
    EXPECT_EQ(CompareTreeDevices(1, L"Alpha", 1, L"Alpha", Plain), 0);
}

TEST(ViewRules, FreeSpaceIsSixtyFourBitAndNeverBelowZero) {
    struct Case {
        uint32_t capacity, used;
        uint64_t capacityBytes, freeBytes;
    } cases[] = {
        {2000, 500, 2000ull << 20, 1500ull << 20},
        {8388608, 1, 8388608ull << 20, 8388607ull << 20},  // 8 TiB: beyond 32 bits
        {100, 100, 100ull << 20, 0},
        {100, 4000000000u, 100ull << 20, 0},                // more used than there is
    };
    for (const Case& c : cases) {
        const StorageBytes bytes = StorageSizes(c.capacity, c.used);
        EXPECT_EQ(bytes.capacity, c.capacityBytes) << c.capacity;
        EXPECT_EQ(bytes.free, c.freeBytes) << c.capacity << " " << c.used;
    }
    // The shell's forms, free space first; a format's extra "%s" stays empty.
    EXPECT_EQ(StorageSizeText(L"Free space (%s / %s)", 2000, 500), L"Free space (1.46 GB / 1.95 GB)");
    EXPECT_EQ(StorageSizeText(L"%s|%s|%s", 100, 200), L"0 bytes|100 MB|");
}

TEST(ViewRules, RemovalsTakeEachStorageOnce) {
    auto entry = [](uintptr_t handle, const wchar_t* name, uint32_t mounted, uint16_t state) {
        StorageCandidate c{reinterpret_cast<HPnxDv>(handle), {}};
        c.facts.storageName = name;
        c.facts.mounted = mounted;
        c.facts.state = state;
        return c;
    };
    const std::vector<StorageCandidate> entries = {
        entry(1, L"DISK-A", 0, 7), entry(2, L"disk-a", 1, 7), entry(3, L"DISK-A", 1, 6),
        entry(4, L"DISK-B", 1, 6), entry(5, L"DISK-B", 1, 7), entry(6, L"DISK-C", 1, 7)};
    auto handles = [](std::vector<uintptr_t> values) {
        std::vector<HPnxDv> out;
        for (uintptr_t v : values) out.push_back(reinterpret_cast<HPnxDv>(v));
        return out;
    };
    EXPECT_EQ(PickRemovals(entries, true, false), handles({2, 4, 6}));   // the selection: mounted flag
    EXPECT_EQ(PickRemovals(entries, false, true), handles({1, 5, 6}));   // a server's entries: state 7
    EXPECT_EQ(PickRemovals({entry(1, L"X", 0, 6)}, true, false), handles({}));
}

}  // namespace
