// The server tree of the main dialog (control 1099): servers at the root, their USB devices
// and storage entries below, every item painted by the program.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "../../../client/pnxscapi.h"

struct TreeServerData {
    uint16_t imageIndex;   // into the theme's server image list
    uint16_t status;       // the server's status word
    uint8_t macAddress[6];
    wchar_t addressText[16];
    wchar_t hostName[64];
    wchar_t modelName[43];
};

struct TreeDeviceData {
    uint32_t classRow;
    uint32_t stateRow;
    wchar_t deviceName[65];
    wchar_t displayName[65];
    wchar_t userPcName[64];
};

// The item data of every tree item; the tree owns it and its data (freed on delete-item).
struct TreeItemRecord {
    uint64_t server;  // HPnxSv, server items only
    uint64_t device;  // HPnxDv, device and storage items only
    TreeServerData* serverData;
    TreeDeviceData* deviceData;
};

constexpr int kTreeFindChildren = 4;  // TreeFindItemByData: search the start item's children

void InitTreeView(HMODULE theme, HWND tree);
void DestroyTreeResources();

HTREEITEM TreeInsertItem(HWND tree, HTREEITEM parent, int children, TreeItemRecord* record);
// Rewrites an item's text and children mark; a device item's siblings are re-sorted (once the
// notices that arrive together are handled) unless `sortKeyChanged` says that its class and
// display name stayed.
void TreeUpdateItem(HWND tree, HTREEITEM item, int children, TreeItemRecord* record, bool sortKeyChanged = true);
// The deferred sorting of TreeInsertItem and TreeUpdateItem (the flush, view_batch.h).
void FlushTreeChanges();
HTREEITEM TreeFindItemByData(HWND tree, HTREEITEM start, const TreeItemRecord& key, int mode);
TreeItemRecord* TreeGetItemData(HWND tree, HTREEITEM item);
TreeItemRecord* TreeGetSelectedItemData(HWND tree);
// The server of the selected item (itself, or a device item's parent); null for none.
HPnxSv TreeSelectedServer(HWND tree);
// Finds the device item with this handle under any server; null when there is none.
HTREEITEM TreeFindDevice(HWND tree, uint64_t device);
HTREEITEM TreeFindServer(HWND tree, uint64_t server);
void FreeTreeItemRecord(TreeItemRecord* record);
// Sets or clears the has-children mark of an item.
void TreeSetHasChildren(HWND tree, HTREEITEM item, bool children);

int GetServerImageIndex(uint16_t functionWord, uint16_t statusWord, const wchar_t* modelName);
// Item texts: a server's name with its suffix, a device's state text.
std::wstring TreeServerName(const TreeServerData& data);
std::wstring TreeStateText(const TreeItemRecord& record);
std::wstring FormatTreeItemText(HWND tree, const TreeItemRecord& record);

// The empty-tree text area is repainted (no items only).
void InvalidateEmptyTree(HWND tree);
void SetTreeFocusCues(HWND tree, bool show);

LRESULT OnTreeNotify(HWND dialog, NMHDR* header, bool* handled);

// The context menus and the double-click action belong to the command layer.
using TreeMenuHandler = void (*)(HWND tree, HTREEITEM item, POINT screenPoint);
using TreeDoubleClickHandler = void (*)(HWND tree, TreeItemRecord* record);
void SetTreeMenuHandler(TreeMenuHandler handler);
void SetTreeDoubleClickHandler(TreeDoubleClickHandler handler);
