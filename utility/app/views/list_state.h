// What the device list's files share: its fonts, images, texts and sort state.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <unordered_set>

#include "dib.h"
#include "list_view.h"
#include "view_index.h"
#include "view_rules.h"

struct ListViewState {
    HWND list = nullptr;
    HFONT rowFont = nullptr;  // names: [FONT] LIST (LIST_VISTA with visual styles)
    HIMAGELIST rowHeight = nullptr;
    HIMAGELIST classImages = nullptr;
    HIMAGELIST stateImages = nullptr;
    HIMAGELIST sortArrows = nullptr;
    Dib selFocus, sel, headerNormal, headerPressed, headerSorted;
    std::wstring classText[kClassRows];
    std::wstring stateText[kStateRows];
    std::wstring enableText, disableText, serverNotFound, deviceNotFound;
    SortState sort;
    bool focusCues = false;
    bool skipContextMenu = false;  // the context-menu message that follows a header menu
    WNDPROC listProc = nullptr;
    WNDPROC headerProc = nullptr;
    ListRowMenuHandler rowMenu = nullptr;
    ListDoubleClickHandler doubleClick = nullptr;
    // Every row's record by its handle and the rows' order (view_index.h).
    ListRowIndex rows;
    // Rows changed by the notification handlers get their cells rewritten, and the list
    // re-sorted, once, after the notices that arrive together (the flush, view_batch.h); the
    // re-sort runs when asked for or when a changed row's value of the sort column (or its
    // name, the tie-break) changed, and then selects row 0 when asked to.
    std::unordered_set<ListRowRecord*> changedRows;
    uint32_t changedColumns = 0;  // bit n: column id n changed in some row
    bool resortWanted = false;
    bool selectFirstAfterResort = false;
    HWND commandsPending = nullptr;  // the dialog whose buttons are to be recomputed
};

constexpr UINT kListResortMessage = WM_APP + 0x101;
constexpr UINT kListCommandsMessage = WM_APP + 0x102;

extern ListViewState g_listView;

// [FONT] key, or key + "_VISTA" when visual styles are active.
std::wstring StyledFontKey(const wchar_t* key);
bool VisualStylesActive();
// The main font of the program (the dialog's font).
HFONT MainFont();

// The state text of a row as the tile and column 2 show it (size text of a storage entry).
std::wstring RowStateText(const ListRowRecord* record, bool paintRule);

LRESULT CALLBACK ListSubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListHeaderSubclassProc(HWND header, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnHeaderCustomDraw(NMCUSTOMDRAW* draw);
// The header's notifications that the list refuses or paints; false lets the list go on.
bool FilterHeaderNotify(HWND list, NMHDR* header, LRESULT* result);
void ShowColumnMenu(HWND list, POINT screen);
void MarkSortColumn(HWND list);
uint32_t HeaderColumnId(HWND list, int column);
