// The tray callback's mouse part, the owner-drawn tray menu with a sub-menu per listed device
// and storage entry, its commands, and disconnecting all devices around a system suspend.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "about_dialog.h"
#include "app.h"
#include "app_ids.h"
#include "commands.h"
#include "device_rows.h"
#include "ini_text.h"
#include "owner_menu.h"
#include "pnx_api.h"
#include "progress_dialog.h"
#include "theme_resources.h"
#include "tray.h"
#include "tray_shell.h"

namespace {

constexpr uint32_t kStateDisabled = MFS_DISABLED | MFS_GRAYED;
constexpr UINT kTrayHelpPosition = 5;
constexpr uint16_t kAutoConnectOnReturn = 4;

// The ids handed out by the last tray menu, per list row at that time (GUI thread).
std::vector<TrayIds> g_trayIds;
std::vector<bool> g_trayStorage;
// Connect operations of the devices that the last remembering disconnect took away.
std::vector<DeviceOperation> g_remembered;

MenuItemRecord Item(uint32_t id, uint32_t icon, const wchar_t* key, uint32_t state = 0) {
    return MenuItemRecord{kMenuIniText, MFT_STRING, state, id, icon, 0, key, nullptr};
}
MenuItemRecord Separator() { return MenuItemRecord{0, MFT_SEPARATOR, 0, 0, kMenuNoIcon, 0, nullptr, nullptr}; }

void InsertStaticPart(HMENU menu) {
    const bool shown = IsMainDialogShown();
    const MenuItemRecord records[] = {
        Item(kShowCommandShow, kMenuNoIcon, L"SHOW", shown ? kStateDisabled : 0),
        Item(kShowCommandHide, kMenuNoIcon, L"HIDE", shown ? 0 : kStateDisabled),
        Separator(),
        Item(kCommandOptions, kMenuNoIcon, L"OPTION"),
        Separator(),
        Item(kCmdAbout, theme::kIconProgram, L"ABOUT"),
        Separator(),
        Item(kCommandExit, kMenuNoIcon, L"EXIT"),
    };
    for (const MenuItemRecord& record : records) {
        InsertMenuRecord(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &record);
    }
    if (!ReadIniValue(g_app.iniPath, L"HELP", L"HTML", 520).empty()) {
        MenuItemRecord help = Item(kCmdHelpCompany, theme::kIconHelp, L"HELP");
        InsertMenuRecord(menu, kTrayHelpPosition, TRUE, &help);
    }
}

void InsertDeviceEntry(HMENU menu, const TrayRow& row, const TrayIds& ids, const TrayEntry& entry) {
    MenuItemRecord top{kMenuSubmenu, MFT_STRING, 0, kTrayFirstId, static_cast<uint32_t>(row.classIcon), 0,
                       row.text.c_str(), nullptr};
    HMENU sub = InsertMenuRecord(menu, 0, TRUE, &top);
    if (!sub) return;
    auto state = [&](int k) { return entry.enabled[k] ? 0u : kStateDisabled; };
    std::vector<MenuItemRecord> items;
    if (row.storage) {
        items = {Item(ids.ids[0], theme::kIconConnect, L"MOUNT", state(0)), Item(ids.ids[1], kMenuNoIcon, L"OPEN", state(1)),
                 Item(ids.ids[2], kMenuNoIcon, L"REMOVE", state(2))};
    } else {
        items = {Item(ids.ids[0], theme::kIconConnect, L"CONNECT", state(0)),
                 Item(ids.ids[1], theme::kIconDisconnect, L"DISCONNECT", state(1)),
                 Item(ids.ids[2], theme::kIconRequest, L"REQUEST", state(2)), Separator(),
                 Item(ids.ids[3], kMenuNoIcon, L"PROPERTY", state(3))};
    }
    for (const MenuItemRecord& item : items) InsertMenuRecord(sub, static_cast<UINT>(GetMenuItemCount(sub)), TRUE, &item);
}

void BuildTrayMenu(HMENU menu) {
    InsertStaticPart(menu);
    const std::vector<ListRowRef> refs = MainListRows();
    std::vector<TrayRow> rows;
    for (const ListRowRef& ref : refs) rows.push_back(DescribeTrayRow(ref));
    const TrayMenuPlan plan = PlanTrayMenu(rows, g_trayIds);
    g_trayStorage.assign(rows.size(), false);
    for (size_t i = 0; i < rows.size(); ++i) g_trayStorage[i] = rows[i].storage;
    if (plan.separatorOnTop) {
        MenuItemRecord separator = Separator();
        InsertMenuRecord(menu, 0, TRUE, &separator);
    }
    for (auto it = plan.entries.rbegin(); it != plan.entries.rend(); ++it) {
        InsertDeviceEntry(menu, rows[it->row], g_trayIds[it->row], *it);
    }
}

bool StillListed(uint64_t handle) {
    const std::vector<ListRowRef> rows = MainListRows();
    return std::any_of(rows.begin(), rows.end(), [&](const ListRowRef& r) { return r.handle == handle; });
}

void RunOne(uint64_t handle, uint32_t code) {
    DeviceOperationList list;
    if (!ToOperationList({DeviceOperation{handle, code, kActionButton}}, list)) return;
    RunDeviceOperations(g_app.mainDialog, nullptr, list);
}

// A dialog that stands over the main dialog takes the click instead.
bool BringPopupForward() {
    HWND dialog = g_app.mainDialog;
    if (!dialog) return false;
    HWND popup = GetLastActivePopup(dialog);
    if (!popup || popup == dialog) return false;
    SetForegroundWindow(popup);
    return true;
}

}  // namespace

void OnTrayCallback(HWND window, LPARAM event) {
    switch (LOWORD(event)) {
        case WM_LBUTTONDOWN:
            if (BringPopupForward() || !g_app.mainDialog) return;
            PostMessageW(g_app.mainDialog, UM_SHOW_COMMAND, kShowCommandShow, 0);
            SetForegroundWindow(g_app.mainDialog);
            return;
        case WM_RBUTTONUP:
            if (GetProgressDialogWindow() || BringPopupForward()) return;
            PostMessageW(window, UM_TRAY_MENU, 0, 0);
            return;
        case NIN_BALLOONSHOW:
        case NIN_BALLOONHIDE:
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONUSERCLICK:
            OnBalloonEvent(window, LOWORD(event));
            return;
        default:
            return;
    }
}

// Tracked with the hidden main window as owner: its commands mean the tray's static items
// (options, help file, about, exit), never the main dialog's help commands of the same ids.
void ShowTrayMenu(HWND window) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    BuildTrayMenu(menu);
    POINT at{};
    GetCursorPos(&at);
    SetForegroundWindow(window);
    const UINT id = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, window, nullptr));
    PostMessageW(window, WM_NULL, 0, 0);
    FreeMenuItems(menu);
    DestroyMenu(menu);
    if (id) SendMessageW(window, WM_COMMAND, id, 0);
}

BOOL OnTrayMenuCommand(HWND window, UINT id) {
    const TrayHit hit = FindTrayCommand(g_trayIds, g_trayStorage, id);
    if (hit.action == TrayAction::None) return FALSE;
    if (!StillListed(hit.handle)) return TRUE;  // the row went since the menu was built
    switch (hit.action) {
        case TrayAction::Connect: RunOne(hit.handle, DEVOP_CONNECT); break;
        case TrayAction::Disconnect: RunOne(hit.handle, DEVOP_DISCONNECT); break;
        case TrayAction::Mount: RunOne(hit.handle, DEVOP_NAS_MOUNT); break;
        case TrayAction::Remove: RunOne(hit.handle, DEVOP_NAS_REMOVE); break;
        case TrayAction::Request:
            if (g_app.service) g_pnx.PnxSuspendService(g_app.service, 0);
            SendUseRequest(g_app.mainDialog, hit.handle);
            if (g_app.service) g_pnx.PnxResumeService(g_app.service, nullptr);
            break;
        case TrayAction::Property: OpenDeviceProperties(g_app.mainDialog, hit.handle); break;
        case TrayAction::Open: OpenStorageShare(g_app.mainDialog, hit.handle); break;
        default: break;
    }
    (void)window;
    return TRUE;
}

bool AnyDeviceInUse() {
    for (const ListRowRef& row : MainListRows()) {
        if (row.storage) continue;
        const uint16_t status = DeviceStatus(row.handle);
        if ((status == 0 || status == kStatusConnectedHere) &&
            g_pnx.PnxGetConnectAction(g_app.service, reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(row.handle)))) {
            return true;
        }
    }
    return false;
}

void DisconnectAllDevices(bool remember) {
    if (remember) g_remembered.clear();
    if (!g_app.service) return;
    std::vector<DeviceOperation> operations;
    for (const ListRowRef& row : MainListRows()) {
        if (row.storage) continue;
        const uint16_t status = DeviceStatus(row.handle);
        if ((status != 0 && status != kStatusConnectedHere) ||
            !g_pnx.PnxGetConnectAction(g_app.service, reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(row.handle)))) {
            continue;
        }
        operations.push_back(DeviceOperation{row.handle, DEVOP_DISCONNECT, kActionButton});
        if (remember) g_remembered.push_back(DeviceOperation{row.handle, DEVOP_CONNECT, kActionButton});
    }
    DeviceOperationList list;
    if (!ToOperationList(operations, list)) return;
    RunDeviceOperations(g_app.mainDialog, nullptr, list);
}

void ReconnectDevices() {
    for (const DeviceOperation& remembered : g_remembered) {
        if (!StillListed(remembered.device)) continue;
        const uint16_t status = DeviceStatus(remembered.device);
        if (status == kStatusConnectedHere) continue;
        if (status == kStatusFree) {
            RunOne(remembered.device, DEVOP_CONNECT);
        } else if (g_app.service) {
            g_pnx.PnxSetAutoConnect(g_app.service, reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(remembered.device)),
                                    kAutoConnectOnReturn);
        }
    }
}
