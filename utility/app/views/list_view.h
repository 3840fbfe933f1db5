// The device list of the main dialog (control 1082): owner-drawn report rows of 60 pixels,
// one per USB device or storage entry, with the name/class/state tile in columns 0-2 and the
// optional columns 3-7 of the user's column table.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The data shown in one row. Allocated zero-filled by the notification handlers.
struct DeviceRowData {
    wchar_t displayName[512];
    uint32_t classRow;
    uint32_t stateRow;
    wchar_t modelName[32];
    wchar_t hostName[32];
    wchar_t addressText[32];
    uint8_t macAddress[6];
    uint32_t autoConnect;  // the device's automatic connect is on
    wchar_t userPcName[256];
};
static_assert(offsetof(DeviceRowData, classRow) == 1024);
static_assert(offsetof(DeviceRowData, modelName) == 1032);
static_assert(offsetof(DeviceRowData, macAddress) == 1224);
static_assert(offsetof(DeviceRowData, userPcName) == 1236);

// Tray menu command ids a row carries (given and read by the tray menu).
enum RowTrayCommand { kTrayConnect, kTrayDisconnect, kTrayRequest, kTrayProperty, kTrayCommandCount = 7 };

// The item data of one row; the list owns it and its DeviceRowData (freed on delete-item).
struct ListRowRecord {
    uint64_t handle;           // HPnxDv of the device or the storage entry
    uint32_t trayCommands[kTrayCommandCount];
    DeviceRowData* data;       // null rows are skipped by painting and cell texts
    uint32_t lastState;        // the last non-zero state the device reported
    uint32_t applicationMark;  // a watched application of the device runs
};

// Called once while the main dialog initialises.
void InitListView(HWND list);
void DestroyListResources(HWND list);

// Inserts a row holding `record` (the list takes ownership) and fills its cells; callers
// sort afterwards with ResortList. Returns the row index or -1 (the record is then freed).
int InsertListRow(HWND list, ListRowRecord* record, int index);
// Rewrites every shown cell of one row and redraws it.
void UpdateListItem(HWND list, int index);
void ResortList(HWND list);
// Re-sorts once the notices that arrive together are handled; `selectFirst` then selects and
// focuses row 0 alone.
void RequestResort(HWND list, bool selectFirst);
// A row's data changed (`changedColumns`: bit n for column id n, see ChangedRowColumns): its
// cells are rewritten and it is redrawn once the notices that arrive together are handled,
// and the list re-sorted then when the sort column's value or the name changed.
void ListRowChanged(HWND list, ListRowRecord* record, uint32_t changedColumns);
uint32_t ChangedRowColumns(const DeviceRowData& before, const DeviceRowData& after);
// The deferred work of RequestResort and ListRowChanged (the flush, view_batch.h).
void FlushListChanges(HWND list);
// Has `dialog` recompute its command buttons once the notices that arrive together are
// handled (at once when there is no list).
void RequestCommandUpdate(HWND list, HWND dialog);
// Frees a record that never reached the list.
void FreeListRowRecord(ListRowRecord* record);

// Row look-ups. Indexes are list positions; records stay valid until their row is deleted.
// None of them searches the main list's rows (its handle index, view_index.h).
int ListFindRowByHandle(HWND list, uint64_t handle);
// The position of the row that holds `record`, or -1.
int ListRowPosition(HWND list, const ListRowRecord* record);
// The row becomes the only selected row and the focused one (nothing for index -1).
void ListSelectOnly(HWND list, int index);
// The record of the row with this handle, or null; no search through the rows.
ListRowRecord* ListRecordByHandle(HWND list, uint64_t handle);
ListRowRecord* ListGetRowRecord(HWND list, int index);
// The record of the first selected row, or null.
ListRowRecord* ListGetSelectedItemData(HWND list);
// The records of every selected row, in list order.
std::vector<ListRowRecord*> ListGetSelectedRecords(HWND list);
// Every row's record, in list order.
std::vector<ListRowRecord*> ListGetAllRecords(HWND list);
// Every row's record in no particular order, without reading the rows (the main list).
std::vector<ListRowRecord*> ListAllRecordsUnordered(HWND list);

// Column table (g_settings.columns) and sorting.
void OnListColumnClick(HWND list, int column);
void ListSaveColumnWidths(HWND list);
void RebuildListColumns(HWND list);
void ShowListColumn(HWND list, uint32_t columnId);
void HideListColumn(HWND list, uint32_t columnId);

// The empty-list text is repainted (no rows only).
void InvalidateEmptyList(HWND list);
void SetListFocusCues(HWND list, bool show);

// Main dialog messages for the list.
BOOL DrawListItem(const DRAWITEMSTRUCT* draw);
// WM_NOTIFY from the list; `handled` tells whether the result counts.
LRESULT OnListNotify(HWND dialog, NMHDR* header, bool* handled);
// The options dialog with the list's widths saved before and its columns rebuilt after.
INT_PTR ShowOptionsAroundList(HWND owner, int startPage);
// Header column menu commands 0x8014-0x801C (TRUE when it was one).
BOOL OnListColumnCommand(HWND dialog, UINT command);

// The row context menu and the double-click action belong to the command layer, which
// registers them here; the list calls them with the list and the point (screen) or record.
using ListRowMenuHandler = void (*)(HWND list, POINT screenPoint);
using ListDoubleClickHandler = void (*)(HWND list, ListRowRecord* record);
void SetListRowMenuHandler(ListRowMenuHandler handler);
void SetListDoubleClickHandler(ListDoubleClickHandler handler);

// Texts of a row's cells by column id (1-7) and the state text of columns 2 and the tile.
std::wstring ListCellText(const ListRowRecord* record, uint32_t columnId);

constexpr UINT kColumnMenuFirst = 0x8014;  // 0x8014-0x801B toggle column ids 0-7
constexpr UINT kColumnMenuMore = 0x801C;
