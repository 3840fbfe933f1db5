// The rules that the device list and the tree share and that need no window: the class and
// state tables, the ampersand and ellipsis rules, the column model of the list, the row
// comparison and the free-space numbers of a storage entry.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../../../client/pnxscapi.h"
#include "user_settings.h"

// One row of the class or the state table: the theme icon, the code it stands for, and where
// its text comes from in the message file.
struct DeviceTextRow {
    int iconId;
    int code;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* defaultText;
};

constexpr int kClassRows = 9;
constexpr int kStateRows = 8;
constexpr int kClassRowOther = 7;
constexpr int kClassRowStorage = 8;
constexpr int kStateRowOther = 3;     // "%s is using it"
constexpr int kStateRowServerError = 5;
constexpr int kStateRowMounted = 7;
constexpr int kCategoryNetworkDrive = 23;

extern const DeviceTextRow kClassTable[kClassRows];
extern const DeviceTextRow kStateTable[kStateRows];

// The class row of a device category; a category without a row of its own is shown as an
// "other USB device" (the table and image lists are indexed by the result).
int ClassRowOfCategory(int category);
int NasClassRow();
// The state row of a device or storage state; an unknown state is shown as row 0.
int StateRowOfCode(int code);

// Mode 1: every "&" written twice (text painted without prefix); mode 0: "&&" back to "&".
std::wstring EscapeAmpersands(const std::wstring& text, int mode);

// Shortens `text` from its end until its width plus `extra` fits `maxWidth`, then appends
// "..."; at least one character stays. `width` measures a text. Returns the final width.
int EllipsizeText(std::wstring& text, int maxWidth, int extra, const std::function<int(const std::wstring&)>& width);

// A state row's text from `texts` (one per state row): row 3 names the PC that uses the
// device; an unknown row reads as row 0.
std::wstring StateRowText(const std::wstring* texts, uint32_t stateRow, const wchar_t* userPcName);

// --- Column model of the list: the table of ListColumnRow plus the sort column (an index of
// the list's header items) and the sort order (1 ascending, 2 descending).
constexpr uint32_t kSortAscending = 1;
constexpr uint32_t kSortDescending = 2;
constexpr int kFixedColumns = 3;  // name, class and state are always list columns 0-2

struct SortState {
    uint32_t column = 0;
    uint32_t order = kSortAscending;
};

// The list column index that the shown column `columnId` has (or would have when shown):
// the number of shown rows before it in table order.
int ListColumnIndexOf(const ListColumnRow* rows, uint32_t columnId);
// A click on header item `column`: the same ascending column turns descending; anything
// else sorts ascending.
SortState SortAfterClick(SortState sort, uint32_t column);
// The sort column after a column was inserted at list column `at`.
SortState SortAfterInsert(SortState sort, int at);
// The sort column after list column `at` was deleted; `resort` is set when the sort column
// itself went (sorting falls back to column 0 ascending).
SortState SortAfterDelete(SortState sort, int at, bool* resort);
// The shown rows' display orders made a permutation again after a show or hide: the rows
// keep their relative order and a newly shown row goes after the others.
void RenumberColumnOrders(ListColumnRow* rows);

// --- Row comparison.
struct RowKey {
    const wchar_t* displayName;
    uint32_t classRow;
    uint32_t stateRow;
    const wchar_t* hostName;
    uint32_t address;  // host byte order
    const wchar_t* macText;
    const wchar_t* modelName;
    uint32_t autoConnect;
};
// <0, 0, >0 for rows a and b sorted by column id `columnId` in `order`; equal values (and ids
// 0 or unknown) fall back to the display names in the same direction. `compare` is the
// locale-aware string comparison (<0, 0, >0).
int CompareRows(const RowKey& a, const RowKey& b, uint32_t columnId, uint32_t order,
                const std::function<int(const wchar_t*, const wchar_t*)>& compare);
// A hardware address as "%02X:%02X:%02X:%02X:%02X:%02X".
std::wstring MacText(const uint8_t* mac);
// "a.b.c.d" in host byte order; 0 for anything else.
uint32_t AddressValue(const wchar_t* text);

// --- Tree item texts and order.
// A server item is named by its host name, or by its address when it has none.
std::wstring ServerItemName(const wchar_t* hostName, const wchar_t* addressText);
// The coloured text after a server's name: a network error wins over an over-current.
std::wstring ServerItemSuffix(uint16_t status, const std::wstring& overCurrent, const std::wstring& networkError);
// Device items under one server: by class row, then by display name (`compare` as above).
int CompareTreeDevices(uint32_t classA, const wchar_t* nameA, uint32_t classB, const wchar_t* nameB,
                       const std::function<int(const wchar_t*, const wchar_t*)>& compare);

// --- Storage sizes: capacity and free space in bytes from the entry's MiB counts. Used space
// beyond the capacity gives 0 free bytes.
struct StorageBytes {
    uint64_t capacity;
    uint64_t free;
};
StorageBytes StorageSizes(uint32_t capacityMiB, uint32_t usedMiB);
// The [MAIN] MOUNT text filled with the free space and the capacity (the shell's byte-size
// forms, in that order).
std::wstring StorageSizeText(const wchar_t* format, uint32_t capacityMiB, uint32_t usedMiB);

// What a storage entry is, for the rules of the storage commands (the library's record,
// strings copied).
struct StorageFacts {
    std::wstring storageName;
    std::wstring text;  // the storage's own text
    std::wstring label;
    std::wstring shareName;
    uint32_t capacityMiB = 0;
    uint32_t usedMiB = 0;
    uint32_t mounted = 0;
    uint16_t state = 0;
};
struct StorageCandidate {
    HPnxDv handle;
    StorageFacts facts;
};
// The entries to remove from `candidates`, in their order: mounted-flag set (when
// `needMounted`) or state 7 (when `needState7`), one per storage name (case-insensitive), so
// that a storage with several shares is removed once.
std::vector<HPnxDv> PickRemovals(const std::vector<StorageCandidate>& candidates, bool needMounted, bool needState7);
