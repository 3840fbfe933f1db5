// The server tree: set-up, items and their records, texts and sorting.
#include "tree_view.h"

#include <uxtheme.h>

#include "app.h"
#include "ini_font.h"
#include "ini_text.h"
#include "list_state.h"
#include "safe_format.h"
#include "storage_items.h"
#include "tree_state.h"
#include "view_batch.h"

TreeViewState g_treeView;

namespace {

constexpr int kStateTextPadding = 20;
constexpr int kOsCodeXp = 5;
constexpr int kOsCodeVista = 6;
constexpr int kItemTextChars = 1024;
constexpr int kTextsPerMessage = 32;

HIMAGELIST TreeIcons(const DeviceTextRow* rows, int count, int size) {
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, count, 0);
    for (int i = 0; images && i < count; ++i) {
        auto icon = static_cast<HICON>(
            LoadImageW(g_app.theme, MAKEINTRESOURCEW(rows[i].iconId), IMAGE_ICON, size, size, 0));
        ImageList_ReplaceIcon(images, -1, icon);
        if (icon) DestroyIcon(icon);
    }
    return images;
}

// The tree's own copy of a table text; its MOUNT row defaults to "Mount".
std::wstring TreeTableText(const DeviceTextRow& row) {
    std::wstring text = IniText(g_app.iniPath, row.section, row.key, 511);
    if (!text.empty()) return text;
    return &row == &kStateTable[kStateRowMounted] ? L"Mount" : row.defaultText;
}

int CALLBACK CompareTreeItems(LPARAM a, LPARAM b, LPARAM) {
    const auto* ra = reinterpret_cast<const TreeItemRecord*>(a);
    const auto* rb = reinterpret_cast<const TreeItemRecord*>(b);
    if (!ra || !rb || !ra->deviceData || !rb->deviceData) return 0;
    return CompareTreeDevices(ra->deviceData->classRow, ra->deviceData->displayName, rb->deviceData->classRow,
                              rb->deviceData->displayName, [](const wchar_t* x, const wchar_t* y) {
                                  return CompareStringW(LOCALE_USER_DEFAULT, 0, x, -1, y, -1) - CSTR_EQUAL;
                              });
}

void SortChildren(HWND tree, HTREEITEM parent) {
    TVSORTCB sort{};
    sort.hParent = parent;
    sort.lpfnCompare = CompareTreeItems;
    TreeView_SortChildrenCB(tree, &sort, FALSE);
}

// Sorts the children of `parent` now, or at the flush when one is to come.
void SortChildrenSoon(HWND tree, HTREEITEM parent) {
    const TreeItemRecord* record = tree == g_treeView.tree ? TreeGetItemData(tree, parent) : nullptr;
    if (record && record->server && NoteViewChange(tree)) {
        g_treeView.sortPending.insert(record->server);
        return;
    }
    SortChildren(tree, parent);
}

// Sets an item's text and children mark when they differ from what it has: setting a text
// re-measures the tree's items (a walk over all of them in some implementations).
void SetTextIfChanged(HWND tree, HTREEITEM item, const std::wstring& text, int children) {
    wchar_t shown[kItemTextChars] = {};
    TVITEMW current{};
    current.mask = TVIF_TEXT | TVIF_CHILDREN;
    current.hItem = item;
    current.pszText = shown;
    current.cchTextMax = kItemTextChars;
    if (TreeView_GetItem(tree, &current) && current.cChildren == children && text.size() < kItemTextChars - 1 &&
        text == shown) {
        return;
    }
    std::wstring copy = text;
    TVITEMW update{};
    update.mask = TVIF_TEXT | TVIF_CHILDREN;
    update.hItem = item;
    update.pszText = copy.data();
    update.cChildren = children;
    TreeView_SetItem(tree, &update);
}

// Queues a device item's text to be rewritten by the tree's own message, a few items at a
// time, so that a burst of changes never waits for them; a text queued twice is written once.
bool RewriteTextSoon(HWND tree, uint64_t device, int children) {
    TreeViewState& s = g_treeView;
    if (tree != s.tree) return false;
    if (!s.textsPending) s.textsPending = PostMessageW(tree, kTreeTextsMessage, 0, 0) != FALSE;
    if (!s.textsPending) return false;
    s.staleTexts[device] = children;
    return true;
}

HDC MeasureDc() {
    if (!g_treeView.measureDc) g_treeView.measureDc = CreateCompatibleDC(nullptr);
    return g_treeView.measureDc;
}

bool Matches(const TreeItemRecord* record, const TreeItemRecord& key) {
    if (!record) return false;
    if (key.server) return record->server == key.server;
    if (key.device) return record->device == key.device;
    return false;
}

}  // namespace

int TextWidth(HDC dc, HFONT font, const std::wstring& text) {
    HGDIOBJ old = SelectObject(dc, font ? font : MainFont());
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size.cx;
}

void InitTreeView(HMODULE theme, HWND tree) {
    TreeViewState& s = g_treeView;
    s.tree = tree;
    s.bold = CreateIniFont(StyledFontKey(L"BOLD").c_str(), g_app.iniPath);
    s.serverHot = CreateIniFont(StyledFontKey(L"SRVHOT").c_str(), g_app.iniPath);
    s.deviceHot = CreateIniFont(StyledFontKey(L"DEVHOT").c_str(), g_app.iniPath);
    s.listFont = CreateIniFont(StyledFontKey(L"LIST").c_str(), g_app.iniPath);
    LoadDib(&s.selFocus, MAKEINTRESOURCEW(242), FALSE);
    LoadDib(&s.sel, MAKEINTRESOURCEW(243), FALSE);
    s.serverNotFound = IniText(g_app.iniPath, L"MAIN", L"SRV_NOTFOUND", 2047);
    s.overCurrent = IniText(g_app.iniPath, L"MAIN", L"OVERCURERNT", 511);
    s.networkError = IniText(g_app.iniPath, L"MAIN", L"NETERROR", 511);
    for (int i = 0; i < kClassRows; ++i) s.classText[i] = TreeTableText(kClassTable[i]);
    for (int i = 0; i < kStateRows; ++i) s.stateText[i] = TreeTableText(kStateTable[i]);
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    s.focusCues = cues != FALSE;

    s.itemHeight = ImageList_Create(32, 36, ILC_COLOR32 | ILC_MASK, 1, 0);
    TreeView_SetImageList(tree, s.itemHeight, TVSIL_NORMAL);
    if (g_app.themeGetServerImageList) s.serverImages = g_app.themeGetServerImageList();
    s.buttons = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
    for (int id : {211, 212}) {
        auto icon = static_cast<HICON>(LoadImageW(theme, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        ImageList_ReplaceIcon(s.buttons, -1, icon);
        if (icon) DestroyIcon(icon);
    }
    s.classImages = TreeIcons(kClassTable, kClassRows, 32);
    s.stateImages = TreeIcons(kStateTable, kStateRows, 16);
    TreeView_SetExtendedStyle(tree, TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
    if (g_app.osCode >= kOsCodeVista) SetWindowTheme(tree, L"Explorer", nullptr);
    s.treeProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeSubclassProc)));
}

void DestroyTreeResources() {
    TreeViewState& s = g_treeView;
    for (HFONT* font : {&s.bold, &s.serverHot, &s.deviceHot, &s.listFont}) {
        if (*font) DeleteObject(*font);
        *font = nullptr;
    }
    for (HIMAGELIST* images : {&s.itemHeight, &s.serverImages, &s.buttons, &s.classImages, &s.stateImages}) {
        if (*images) ImageList_Destroy(*images);
        *images = nullptr;
    }
    FreeDib(&s.selFocus);
    FreeDib(&s.sel);
    if (s.measureDc) DeleteDC(s.measureDc);
    s.measureDc = nullptr;
    s.sortPending.clear();
    s.staleTexts.clear();
}

int GetServerImageIndex(uint16_t functionWord, uint16_t statusWord, const wchar_t* modelName) {
    if (!g_app.themeGetServerImageListIndex) return 0;
    uint16_t state = 0;
    if (functionWord & 0x0002) state = 2;
    if (statusWord & (kServerOverCurrent | kServerNetworkError)) state = 1;
    int index = -1;
    if (state) index = g_app.themeGetServerImageListIndex(modelName, state);
    if (index < 0) index = g_app.themeGetServerImageListIndex(modelName, 0);
    return index < 0 ? 0 : index;
}

std::wstring TreeServerName(const TreeServerData& data) { return ServerItemName(data.hostName, data.addressText); }

std::wstring TreeStateText(const TreeItemRecord& record) {
    const TreeDeviceData* d = record.deviceData;
    if (!d) return {};
    std::wstring text = StateRowText(g_treeView.stateText, d->stateRow, d->userPcName);
    if (d->classRow != kClassRowStorage) return text;  // only storage entries show sizes
    wchar_t size[520];
    wcsncpy(size, text.c_str(), 519);
    size[519] = L'\0';
    if (FormatStorageSize(reinterpret_cast<HPnxDv>(record.device), size, 520)) return size;
    return text;
}

std::wstring FormatTreeItemText(HWND tree, const TreeItemRecord& record) {
    HDC dc = MeasureDc();
    const bool own = dc == nullptr;
    if (own) dc = GetDC(tree);
    std::wstring text;
    if (record.serverData) {
        const TreeServerData& d = *record.serverData;
        text = TreeServerName(d) + ServerItemSuffix(d.status, g_treeView.overCurrent, g_treeView.networkError);
        if (g_app.osCode == kOsCodeXp) {
            while (text.size() < 600 && TextWidth(dc, MainFont(), text) < TextWidth(dc, g_treeView.bold, text)) text += L' ';
        }
    } else if (record.deviceData) {
        std::wstring state = TreeStateText(record);
        const int target = TextWidth(dc, MainFont(), state) + kStateTextPadding;
        while (state.size() < 1000 && TextWidth(dc, MainFont(), state) < target) state += L' ';
        const std::wstring name = record.deviceData->displayName;
        text = TextWidth(dc, MainFont(), name) > TextWidth(dc, MainFont(), state) ? name : state;
    }
    if (own) ReleaseDC(tree, dc);
    return text;
}

HTREEITEM TreeInsertItem(HWND tree, HTREEITEM parent, int children, TreeItemRecord* record) {
    if (tree == g_treeView.tree) NoteViewChange(tree);
    std::wstring text = FormatTreeItemText(tree, *record);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.cChildren = children;
    insert.item.lParam = reinterpret_cast<LPARAM>(record);
    HTREEITEM item = TreeView_InsertItem(tree, &insert);
    if (!item) {
        FreeTreeItemRecord(record);
        return nullptr;
    }
    if (tree == g_treeView.tree) g_treeView.items.Inserted(record, item);
    if (parent && parent != TVI_ROOT) SortChildrenSoon(tree, parent);
    return item;
}

void TreeUpdateItem(HWND tree, HTREEITEM item, int children, TreeItemRecord* record, bool sortKeyChanged) {
    if (tree == g_treeView.tree) NoteViewChange(tree);
    if (record->deviceData && sortKeyChanged) {
        if (HTREEITEM parent = TreeView_GetParent(tree, item)) SortChildrenSoon(tree, parent);
    }
    // The painting reads the record, so the item shows its change at once; a device item's text
    // (its width) follows in the background unless that cannot be queued.
    if (!record->deviceData || !record->device || !RewriteTextSoon(tree, record->device, children)) {
        SetTextIfChanged(tree, item, FormatTreeItemText(tree, *record), children);
    }
    if (ViewRedrawHeld(tree)) return;  // the whole tree is redrawn when the hold ends
    RECT rc{};
    if (TreeView_GetItemRect(tree, item, &rc, FALSE)) InvalidateRect(tree, &rc, FALSE);
}

void TreeRewriteSomeTexts(HWND tree) {
    TreeViewState& s = g_treeView;
    s.textsPending = false;
    if (tree != s.tree) return;
    for (int n = 0; n < kTextsPerMessage && !s.staleTexts.empty(); ++n) {
        const auto next = s.staleTexts.begin();
        const uint64_t device = next->first;
        const int children = next->second;
        s.staleTexts.erase(next);
        HTREEITEM item = TreeFindDevice(tree, device);  // items deleted meanwhile are skipped
        TreeItemRecord* record = TreeGetItemData(tree, item);
        if (!record) continue;
        SetTextIfChanged(tree, item, FormatTreeItemText(tree, *record), children);
    }
    if (!s.staleTexts.empty()) s.textsPending = PostMessageW(tree, kTreeTextsMessage, 0, 0) != FALSE;
    if (!s.textsPending) s.staleTexts.clear();
}

void FlushTreeChanges() {
    HWND tree = g_treeView.tree;
    std::unordered_set<uint64_t> servers;
    servers.swap(g_treeView.sortPending);
    if (!tree) return;
    for (uint64_t server : servers) {
        if (HTREEITEM item = TreeFindServer(tree, server)) SortChildren(tree, item);  // servers gone meanwhile are skipped
    }
}

TreeItemRecord* TreeGetItemData(HWND tree, HTREEITEM item) {
    if (!item) return nullptr;
    TVITEMW get{};
    get.mask = TVIF_PARAM;
    get.hItem = item;
    if (!TreeView_GetItem(tree, &get)) return nullptr;
    return reinterpret_cast<TreeItemRecord*>(get.lParam);
}

HTREEITEM TreeFindItemByData(HWND tree, HTREEITEM start, const TreeItemRecord& key, int mode) {
    HTREEITEM item = mode == kTreeFindChildren ? TreeView_GetChild(tree, start) : start;
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        if (Matches(TreeGetItemData(tree, item), key)) return item;
    }
    return nullptr;
}

HTREEITEM TreeFindServer(HWND tree, uint64_t server) {
    if (tree == g_treeView.tree) return g_treeView.items.Server(server);
    TreeItemRecord key{server, 0, nullptr, nullptr};
    return TreeFindItemByData(tree, TreeView_GetRoot(tree), key, 0);
}

HTREEITEM TreeFindDevice(HWND tree, uint64_t device) {
    if (tree == g_treeView.tree) return g_treeView.items.Device(device);
    TreeItemRecord key{0, device, nullptr, nullptr};
    for (HTREEITEM server = TreeView_GetRoot(tree); server; server = TreeView_GetNextSibling(tree, server)) {
        if (HTREEITEM item = TreeFindItemByData(tree, server, key, kTreeFindChildren)) return item;
    }
    return nullptr;
}

TreeItemRecord* TreeGetSelectedItemData(HWND tree) { return TreeGetItemData(tree, TreeView_GetSelection(tree)); }

HPnxSv TreeSelectedServer(HWND tree) {
    HTREEITEM item = TreeView_GetSelection(tree);
    if (!item) return nullptr;
    if (HTREEITEM parent = TreeView_GetParent(tree, item)) item = parent;
    const TreeItemRecord* record = TreeGetItemData(tree, item);
    return record ? reinterpret_cast<HPnxSv>(record->server) : nullptr;
}

void FreeTreeItemRecord(TreeItemRecord* record) {
    if (!record) return;
    g_treeView.items.Removed(record);
    delete record->serverData;
    delete record->deviceData;
    delete record;
}

void TreeSetHasChildren(HWND tree, HTREEITEM item, bool children) {
    // Setting the mark re-measures the item even when it stays: a device list sets it per row.
    TVITEMW current{};
    current.mask = TVIF_CHILDREN;
    current.hItem = item;
    if (TreeView_GetItem(tree, &current) && (current.cChildren != 0) == children) return;
    TVITEMW update{};
    update.mask = TVIF_CHILDREN;
    update.hItem = item;
    update.cChildren = children ? 1 : 0;
    TreeView_SetItem(tree, &update);
}

void InvalidateEmptyTree(HWND tree) {
    if (!tree || TreeView_GetCount(tree) > 0) return;
    RECT rc{};
    GetClientRect(tree, &rc);
    rc.top += 30;
    InvalidateRect(tree, &rc, TRUE);
}

void SetTreeFocusCues(HWND tree, bool show) {
    if (g_treeView.focusCues == show) return;
    g_treeView.focusCues = show;
    InvalidateRect(tree, nullptr, FALSE);
}

void SetTreeMenuHandler(TreeMenuHandler handler) { g_treeView.menu = handler; }
void SetTreeDoubleClickHandler(TreeDoubleClickHandler handler) { g_treeView.doubleClick = handler; }
