#include "folder_browser.h"

#include "install_path.h"
#include "message_box.h"
#include "page_common.h"
#include "resource.h"
#include "setup_log.h"
#include "text_measure.h"
#include "window_position.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <winnetwk.h>

#include <string>
#include <vector>

// The folder browser's tree holds the shell's folders below My Computer; each item keeps its
// parent folder and its id lists, and its children are read when it is first expanded.
namespace {

const LayoutRow kBrowseLayout[] = {
    {IDD_BROWSE_FOLDER, nullptr, nullptr, 0, 0, 340, 370},
    {IDC_BROWSE_LABEL, "LABEL", "BROWSE_00", 10, 10, 314, 16},
    {IDC_BROWSE_EDIT, "", nullptr, 10, 28, 314, 21},
    {IDC_BROWSE_TREE, "", nullptr, 10, 56, 314, 250},
    {IDOK, "BUTTON", "OK", 146, 316, 88, 21},
    {IDCANCEL, "BUTTON", "CANCEL", 236, 316, 88, 21},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr uint16_t kOsWithEditLimit = 6;
constexpr DWORD kErrorNotReady = 21;
constexpr DWORD kErrorNotDos = 18;
constexpr DWORD kErrorBadPassword = 86;
constexpr DWORD kErrorNotAuthenticated = 1244;

struct FolderItem {
    IShellFolder* parent;
    LPITEMIDLIST relative;
    LPITEMIDLIST absolute;
};

struct BrowseState {
    BrowseRequest* request;
    IMalloc* allocator;
};

BrowseState* State(HWND dialog) { return reinterpret_cast<BrowseState*>(GetWindowLongPtrA(dialog, DWLP_USER)); }
HWND Tree(HWND dialog) { return GetDlgItem(dialog, IDC_BROWSE_TREE); }

FolderItem* ItemData(HWND tree, HTREEITEM item) {
    TVITEMA tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    return TreeView_GetItem(tree, &tv) ? reinterpret_cast<FolderItem*>(tv.lParam) : nullptr;
}

std::string DisplayName(IShellFolder* folder, LPCITEMIDLIST relative, DWORD how) {
    STRRET name{};
    if (FAILED(folder->GetDisplayNameOf(relative, how, &name))) return {};
    char text[MAX_PATH] = "";
    StrRetToBufA(&name, relative, text, sizeof text);
    return text;
}

std::string FileSystemPath(LPCITEMIDLIST absolute) {
    char path[MAX_PATH] = "";
    return SHGetPathFromIDListA(absolute, path) ? path : "";
}

int IconOf(LPCITEMIDLIST absolute, UINT extra) {
    SHFILEINFOA info{};
    SHGetFileInfoA(reinterpret_cast<const char*>(absolute), 0, &info, sizeof info,
                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extra);
    return info.iIcon;
}

HTREEITEM InsertFolderItem(HWND tree, HTREEITEM parentItem, IShellFolder* parent, LPITEMIDLIST relative,
                           LPITEMIDLIST absolute, bool children) {
    auto* data = new FolderItem{parent, relative, absolute};
    parent->AddRef();
    std::string name = DisplayName(parent, relative, SHGDN_INFOLDER);
    TVINSERTSTRUCTA insert{};
    insert.hParent = parentItem;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = name.data();
    insert.item.iImage = IconOf(absolute, SHGFI_LINKOVERLAY);
    insert.item.iSelectedImage = IconOf(absolute, SHGFI_OPENICON);
    insert.item.cChildren = children ? 1 : 0;
    insert.item.lParam = reinterpret_cast<LPARAM>(data);
    return TreeView_InsertItem(tree, &insert);
}

LPITEMIDLIST JoinIdLists(IMalloc* allocator, LPCITEMIDLIST first, LPCITEMIDLIST second) {
    UINT a = ILGetSize(first);
    UINT b = ILGetSize(second);
    UINT firstBytes = a >= sizeof(USHORT) ? a - sizeof(USHORT) : 0;
    auto* joined = static_cast<BYTE*>(allocator->Alloc(firstBytes + b));
    if (!joined) return nullptr;
    memcpy(joined, first, firstBytes);
    memcpy(joined + firstBytes, second, b);
    return reinterpret_cast<LPITEMIDLIST>(joined);
}

int CALLBACK CompareShellItems(LPARAM left, LPARAM right, LPARAM parentFolder) {
    auto* folder = reinterpret_cast<IShellFolder*>(parentFolder);
    HRESULT order = folder->CompareIDs(0, reinterpret_cast<FolderItem*>(left)->relative,
                                       reinterpret_cast<FolderItem*>(right)->relative);
    return static_cast<short>(HRESULT_CODE(order));
}

// What to do after a failed enumeration: true to try again.
bool RetryAfterError(HWND dialog, IShellFolder* parent, const FolderItem* item) {
    DWORD error = GetLastError();
    if (error == 0 || error == kErrorNotDos) return false;
    if (error == kErrorNotReady) return ShowSystemErrorBox(dialog, error, MB_RETRYCANCEL | MB_ICONWARNING, TRUE) == IDRETRY;
    bool network = FileSystemPath(item->absolute).empty();
    if ((error == ERROR_ACCESS_DENIED || error == kErrorBadPassword || error == kErrorNotAuthenticated) && network) {
        std::string remote = "\\\\" + DisplayName(parent, item->relative, SHGDN_NORMAL);
        NETRESOURCEA resource{};
        resource.dwType = RESOURCETYPE_DISK;
        resource.lpRemoteName = remote.data();
        char access[MAX_PATH];
        DWORD size = sizeof access;
        DWORD result = 0;
        return WNetUseConnectionA(dialog, &resource, nullptr, nullptr, CONNECT_INTERACTIVE, access, &size, &result) ==
               NO_ERROR;
    }
    ShowSystemErrorBox(dialog, error, MB_OK | (error == ERROR_ACCESS_DENIED ? MB_ICONERROR : MB_ICONWARNING), TRUE);
    return false;
}

int AddChildren(HWND dialog, HTREEITEM item, FolderItem* data, IShellFolder* folder) {
    BrowseState* state = State(dialog);
    IEnumIDList* list = nullptr;
    SetLastError(0);
    if (folder->EnumObjects(dialog, SHCONTF_FOLDERS, &list) != S_OK || !list) return -1;
    int added = 0;
    LPITEMIDLIST child = nullptr;
    while (list->Next(1, &child, nullptr) == S_OK) {
        SFGAOF attributes = SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER | SFGAO_FOLDER;
        LPCITEMIDLIST one = child;
        folder->GetAttributesOf(1, &one, &attributes);
        if (!(attributes & SFGAO_FILESYSTEM)) {
            state->allocator->Free(child);
            continue;
        }
        LPITEMIDLIST absolute = JoinIdLists(state->allocator, data->absolute, child);
        InsertFolderItem(Tree(dialog), item, folder, child, absolute, (attributes & SFGAO_HASSUBFOLDER) != 0);
        ++added;
    }
    list->Release();
    TVSORTCB sort{item, CompareShellItems, reinterpret_cast<LPARAM>(folder)};
    TreeView_SortChildrenCB(Tree(dialog), &sort, FALSE);
    return added;
}

void ExpandFolderNode(HWND dialog, HTREEITEM item) {
    HWND tree = Tree(dialog);
    FolderItem* data = ItemData(tree, item);
    if (!data || TreeView_GetChild(tree, item)) return;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    IShellFolder* folder = nullptr;
    int added = -1;
    if (SUCCEEDED(data->parent->BindToObject(data->relative, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)))) {
        do {
            added = AddChildren(dialog, item, data, folder);
        } while (added < 0 && RetryAfterError(dialog, data->parent, data));
        folder->Release();
    }
    SetCursor(old);
    if (added > 0) return;
    TreeView_Expand(tree, item, TVE_COLLAPSE | TVE_COLLAPSERESET);
    TVITEMA tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    tv.cChildren = 0;
    TreeView_SetItem(tree, &tv);
}

// The child of parent whose path or name is part (any case).
HTREEITEM FindChild(HWND tree, HTREEITEM parent, const std::string& part, bool drive) {
    for (HTREEITEM child = TreeView_GetChild(tree, parent); child; child = TreeView_GetNextSibling(tree, child)) {
        FolderItem* data = ItemData(tree, child);
        if (!data) continue;
        if (drive ? _stricmp(FileSystemPath(data->absolute).c_str(), part.c_str()) == 0
                  : _stricmp(DisplayName(data->parent, data->relative, SHGDN_INFOLDER | SHGDN_FORPARSING).c_str(),
                             part.c_str()) == 0 ||
                        _stricmp(DisplayName(data->parent, data->relative, SHGDN_INFOLDER).c_str(), part.c_str()) == 0) {
            return child;
        }
    }
    return nullptr;
}

void OpenCurrentPath(HWND dialog, HTREEITEM root, const std::string& path) {
    HWND tree = Tree(dialog);
    HTREEITEM at = root;
    size_t colon = path.find(':');
    if (colon != std::string::npos) {
        std::string drive = path.substr(0, colon + 1) + "\\";
        size_t start = colon + 1;
        HTREEITEM next = FindChild(tree, at, drive, true);
        while (next) {
            at = next;
            ExpandFolderNode(dialog, at);
            TreeView_Expand(tree, at, TVE_EXPAND);
            while (start < path.size() && path[start] == '\\') ++start;
            if (start >= path.size()) break;
            size_t end = path.find('\\', start);
            std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
            start = end == std::string::npos ? path.size() : end;
            next = FindChild(tree, at, part, false);
        }
    }
    TreeView_SelectItem(tree, at);
}

void InitBrowser(HWND dialog, BrowseRequest* request) {
    auto* state = new BrowseState{request, nullptr};
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    SHGetMalloc(&state->allocator);
    if (RtlLayout) MirrorDialogControls(dialog, kBrowseLayout);
    LayoutDialog(dialog, PageFont(), kBrowseLayout, kLayoutKeepPosition, g_setup.messageIni);
    SetWindowTextA(dialog, request->title ? request->title : "");
    SendDlgItemMessageA(dialog, IDC_BROWSE_EDIT, EM_LIMITTEXT, request->maxLength, 0);
    SetDlgItemTextA(dialog, IDC_BROWSE_EDIT, request->result);
    SHFILEINFOA info{};
    auto images = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    TreeView_SetImageList(Tree(dialog), images, TVSIL_NORMAL);
    IShellFolder* desktop = nullptr;
    LPITEMIDLIST drives = nullptr;
    if (SUCCEEDED(SHGetDesktopFolder(&desktop)) && SUCCEEDED(SHGetSpecialFolderLocation(dialog, CSIDL_DRIVES, &drives))) {
        LPITEMIDLIST absolute = ILClone(drives);
        HTREEITEM root = InsertFolderItem(Tree(dialog), TVI_ROOT, desktop, drives, absolute, true);
        ExpandFolderNode(dialog, root);
        TreeView_Expand(Tree(dialog), root, TVE_EXPAND);
        OpenCurrentPath(dialog, root, request->result);
    }
    if (desktop) desktop->Release();
    CenterWindowOnMonitor(dialog, request->owner);
}

void FreeItem(HWND dialog, FolderItem* data) {
    if (!data) return;
    BrowseState* state = State(dialog);
    if (state && state->allocator) {
        state->allocator->Free(data->relative);
        state->allocator->Free(data->absolute);
    }
    data->parent->Release();
    delete data;
}

INT_PTR OnNotify(HWND dialog, const NMHDR* header) {
    if (header->idFrom != IDC_BROWSE_TREE) return FALSE;
    auto* view = reinterpret_cast<const NMTREEVIEWA*>(header);
    switch (header->code) {
    case TVN_ITEMEXPANDINGA:
        if (view->action & TVE_EXPAND) ExpandFolderNode(dialog, view->itemNew.hItem);
        break;
    case TVN_SELCHANGEDA: {
        FolderItem* data = reinterpret_cast<FolderItem*>(view->itemNew.lParam);
        std::string path = data ? FileSystemPath(data->absolute) : "";
        if (!path.empty()) SetDlgItemTextA(dialog, IDC_BROWSE_EDIT, path.c_str());
        break;
    }
    case TVN_DELETEITEMA: FreeItem(dialog, reinterpret_cast<FolderItem*>(view->itemOld.lParam)); break;
    default: break;
    }
    return FALSE;
}

void OnEditChange(HWND dialog, WORD code) {
    BrowseState* state = State(dialog);
    if (code == EN_CHANGE) {
        EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthA(GetDlgItem(dialog, IDC_BROWSE_EDIT)) > 0);
    } else if (code == EN_UPDATE && g_setup.osCode >= kOsWithEditLimit && state) {
        std::vector<char> text(state->request->resultSize + 1, '\0');
        LimitDlgItemText(dialog, IDC_BROWSE_EDIT, text.data(), text.size());
    }
}

void OnCommand(HWND dialog, WPARAM wParam) {
    BrowseState* state = State(dialog);
    switch (LOWORD(wParam)) {
    case IDOK:
        if (state && ValidateBrowseFolder(dialog, state->request)) EndDialog(dialog, 1);
        break;
    case IDCANCEL:
        if (state && state->request->result) state->request->result[0] = '\0';
        EndDialog(dialog, 0);
        break;
    case IDC_BROWSE_EDIT: OnEditChange(dialog, HIWORD(wParam)); break;
    default: break;
    }
}

void OnDestroy(HWND dialog) {
    TreeView_DeleteAllItems(Tree(dialog));
    BrowseState* state = State(dialog);
    if (state && state->allocator) state->allocator->Release();
    delete state;
    SetWindowLongPtrA(dialog, DWLP_USER, 0);
}

INT_PTR CALLBACK BrowseFolderDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: InitBrowser(dialog, reinterpret_cast<BrowseRequest*>(lParam)); return TRUE;
    case WM_NOTIFY: return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND: OnCommand(dialog, wParam); return TRUE;
    case WM_DESTROY: OnDestroy(dialog); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int ValidateBrowseFolder(HWND dialog, BrowseRequest* request) {
    std::vector<char> text(request->resultSize + 1, '\0');
    GetDlgItemTextA(dialog, IDC_BROWSE_EDIT, text.data(), static_cast<int>(request->resultSize));
    if (strlen(text.data()) > request->maxLength) {
        ShowPageMessage(dialog, "MESSAGE_39");
        return 0;
    }
    if (!IsValidInstallPath(dialog, text.data())) {
        ShowPageMessage(dialog, "MESSAGE_01");
        return 0;
    }
    lstrcpynA(request->result, text.data(), static_cast<int>(request->resultSize));
    return 1;
}

int BrowseForFolder(BrowseRequest* request) {
    if (!request || !request->result || request->resultSize == 0) return 0;
    INT_PTR answer = DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_BROWSE_FOLDER), request->owner,
                                     BrowseFolderDlgProc, reinterpret_cast<LPARAM>(request));
    return answer == 1 ? 1 : 0;
}
