#include "commands.h"

#include "property_dialog.h"
#include "request_dialog.h"
#include "storage_items.h"

#include <string>

#include "about_dialog.h"
#include "app.h"
#include "app_ids.h"
#include "context_menus.h"
#include "device_rows.h"
#include "ini_text.h"
#include "operation_builders.h"
#include "shell_launch.h"

namespace {

bool ListHasFocus(HWND dialog) { return GetFocus() == GetDlgItem(dialog, IDC_DEVICE_LIST); }
bool TreeHasFocus(HWND dialog) { return GetFocus() == GetDlgItem(dialog, IDC_TREE); }

std::vector<DeviceRow> SelectedTreeDevice() {
    const TreeSelection selection = MainTreeSelection();
    if (!selection.device) return {};
    DeviceRow row = DescribeDeviceRow(ListRowRef{selection.device, selection.storage, true});
    return {row};
}

// The device of the PROPERTY command: the tree's selected device, or the list's one selected row.
uint64_t PropertyTarget(bool tree) {
    if (tree) {
        const TreeSelection selection = MainTreeSelection();
        return selection.storage ? 0 : selection.device;
    }
    for (const ListRowRef& row : MainListRows()) {
        if (row.selected) return row.storage ? 0 : row.handle;
    }
    return 0;
}

void Run(HWND dialog, DeviceOperationList& list) { RunDeviceOperations(dialog, nullptr, list); }

// A tree server's devices, all counted as selected.
std::vector<DeviceRow> ServerDevices(uint64_t server) {
    std::vector<DeviceRow> rows = DescribeServer(server).devices;
    for (DeviceRow& row : rows) row.selected = true;
    return rows;
}

}  // namespace

BOOL BuildListSelectionOps(HWND dialog, DeviceOperationList& list) {
    if (ListHasFocus(dialog)) return ToOperationList(EnterOperations(DescribeRows(MainListRows())), list);
    if (TreeHasFocus(dialog)) return ToOperationList(EnterOperations(SelectedTreeDevice()), list);
    return FALSE;
}

BOOL ConnectSelectedListItems(HWND dialog, DeviceOperationList& list) {
    const std::vector<DeviceRow> rows = DescribeRows(MainListRows());
    if (ConnectFallsBackToMount(rows)) {
        MountListStorage(dialog);
        return FALSE;
    }
    return ToOperationList(ConnectOperations(rows), list);
}

BOOL DisconnectSelectedListItems(HWND, DeviceOperationList& list) {
    return ToOperationList(DisconnectOperations(DescribeRows(MainListRows())), list);
}

BOOL ConnectTreeDevice(HWND dialog, DeviceOperationList& list) {
    const std::vector<DeviceRow> rows = SelectedTreeDevice();
    if (!rows.empty() && rows[0].storage) {
        MountStorage(dialog, rows[0].handle);
        return FALSE;
    }
    return ToOperationList(ConnectOperations(rows), list);
}

BOOL DisconnectTreeDevice(HWND, DeviceOperationList& list) {
    return ToOperationList(DisconnectOperations(SelectedTreeDevice()), list);
}

BOOL ConnectServerDevices(HWND dialog, uint64_t server, DeviceOperationList& list) {
    if (ToOperationList(ConnectOperations(ServerDevices(server)), list)) return TRUE;
    MountServerStorage(dialog, server);
    return FALSE;
}

BOOL DisconnectServerDevices(HWND, uint64_t server, DeviceOperationList& list) {
    return ToOperationList(DisconnectOperations(ServerDevices(server)), list);
}

void OnDeviceDoubleClick(HWND dialog, uint64_t handle) {
    DeviceOperation operation{};
    switch (DoubleClickOf(DescribeDeviceRow(ListRowRef{handle, false, true}), &operation)) {
        case DoubleClickAction::OpenStorage:
            OpenStorageShare(dialog, handle);
            break;
        case DoubleClickAction::Operation: {
            DeviceOperationList list;
            if (ToOperationList({operation}, list)) RunDeviceOperations(dialog, nullptr, list);
            break;
        }
        default:
            break;
    }
}

BOOL OnDeviceCommand(HWND dialog, UINT id) {
    DeviceOperationList list;
    const bool tree = GetFocus() == GetDlgItem(dialog, IDC_TREE) || IsWindowVisible(GetDlgItem(dialog, IDC_TREE));
    switch (id) {
        case IDOK:
            if (BuildListSelectionOps(dialog, list)) Run(dialog, list);
            return TRUE;
        case kCmdConnect:
            if (tree ? ConnectTreeDevice(dialog, list) : ConnectSelectedListItems(dialog, list)) Run(dialog, list);
            return TRUE;
        case kCmdDisconnect:
            if (tree ? DisconnectTreeDevice(dialog, list) : DisconnectSelectedListItems(dialog, list)) Run(dialog, list);
            return TRUE;
        case kCmdRequest:
            OnRequestButton(dialog);
            return TRUE;
        case kCmdProperty:
            if (const uint64_t device = PropertyTarget(tree)) OpenDeviceProperties(dialog, device);
            return TRUE;
        case kCmdAllConnect:
            if (ConnectServerDevices(dialog, MainTreeSelection().server, list)) Run(dialog, list);
            return TRUE;
        case kCmdAllDisconnect:
            if (DisconnectServerDevices(dialog, MainTreeSelection().server, list)) Run(dialog, list);
            return TRUE;
        case kCmdServerPage:
            if (const uint64_t server = MainTreeSelection().server) {
                OpenServerWebPage(dialog, reinterpret_cast<HPnxSv>(static_cast<uintptr_t>(server)));
            }
            return TRUE;
        case kCmdHelpMain:
        case kCmdHelpCompany:
        case kCmdAbout:
        case kCmdHelpSupport:
            return ExecuteHelpCommand(dialog, id);
        case IDC_HELPBUTTON:
            ShowHelpMenu(dialog, IDC_HELPBUTTON);
            return TRUE;
        default:
            return FALSE;
    }
}

BOOL ExecuteHelpCommand(HWND window, UINT id) {
    switch (id) {
        case kCmdHelpMain: {
            const std::wstring file = ReadIniValue(g_app.iniPath, L"HELP", L"HTML", 520);
            if (file.empty()) return TRUE;
            std::wstring path = g_app.folder;
            if (!path.empty() && path.back() != L'\\') path += L'\\';
            ShellLaunch(nullptr, L"open", (path + file).c_str());
            return TRUE;
        }
        case kCmdHelpCompany:
        case kCmdHelpSupport: {
            const std::wstring page =
                ReadIniValue(g_app.iniPath, L"HELP", id == kCmdHelpCompany ? L"COMPANY" : L"SUPPORT", 260);
            if (!page.empty()) ShellLaunch(window, nullptr, page.c_str());
            return TRUE;
        }
        case kCmdAbout:
            ShowAboutDialog(window);
            return TRUE;
        default:
            return FALSE;
    }
}

// The property dialog, the use request and the storage actions are built beside the commands;
// these are the places that call them.
namespace {
HPnxDv AsDevice(uint64_t handle) { return reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(handle)); }
HWND MainControl(int id) { return g_app.mainDialog ? GetDlgItem(g_app.mainDialog, id) : nullptr; }
}  // namespace

void OpenDeviceProperties(HWND owner, uint64_t device) { ShowPropertyDialog(owner, AsDevice(device)); }
void SendUseRequest(HWND owner, uint64_t device) { SendUseRequest(owner, AsDevice(device), kRequestOriginButton); }
void OpenStorageShare(HWND owner, uint64_t entry) { ExploreStorageShare(owner, AsDevice(entry)); }
void MountStorage(HWND owner, uint64_t entry) { MountStorage(owner, AsDevice(entry)); }
void MountListStorage(HWND owner) { MountSelectedStorage(owner, MainControl(IDC_DEVICE_LIST)); }
void MountServerStorage(HWND owner, uint64_t) { MountAllStorage(owner, MainControl(IDC_TREE)); }
