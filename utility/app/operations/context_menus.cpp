#include "context_menus.h"

#include <vector>

#include "app.h"
#include "device_rows.h"
#include "ini_text.h"
#include "operation_builders.h"
#include "owner_menu.h"
#include "theme_resources.h"

namespace {

struct TemplateRow {
    const wchar_t* key;  // nullptr: separator
    uint32_t command;
    uint32_t icon;
};

constexpr uint32_t kNoIcon = kMenuNoIcon;
const TemplateRow kDeviceTemplate[] = {
    {L"CONNECT", kCmdConnect, theme::kIconConnect}, {L"DISCONNECT", kCmdDisconnect, theme::kIconDisconnect},
    {nullptr, 0, 0}, {L"REQUEST", kCmdRequest, theme::kIconRequest}, {nullptr, 0, 0},
    {L"PROPERTY", kCmdProperty, kNoIcon}, {nullptr, 0, 0}, {L"REFRESH", kCmdRefresh, theme::kIconRefresh}};
const TemplateRow kServerTemplate[] = {
    {L"ALLCONNECT", kCmdAllConnect, theme::kIconConnect}, {L"ALLDISCONNECT", kCmdAllDisconnect, theme::kIconDisconnect},
    {nullptr, 0, 0}, {L"SERVER", kCmdServerPage, kNoIcon}, {nullptr, 0, 0},
    {L"REFRESH", kCmdRefresh, theme::kIconRefresh}};
const TemplateRow kStorageTemplate[] = {
    {L"MOUNT", kCmdMount, theme::kIconConnect}, {L"OPEN", kCmdOpen, kNoIcon}, {nullptr, 0, 0},
    {L"REMOVE", kCmdRemove, kNoIcon}, {nullptr, 0, 0}, {L"REFRESH", kCmdRefresh, theme::kIconRefresh}};
const TemplateRow kServerStorageTemplate[] = {
    {L"ALLMOUNT", kCmdAllMount, theme::kIconConnect}, {L"ALLOPEN", kCmdAllOpen, kNoIcon}, {nullptr, 0, 0},
    {L"ALLREMOVE", kCmdAllRemove, kNoIcon}, {nullptr, 0, 0}, {L"SERVER", kCmdServerPage, kNoIcon},
    {nullptr, 0, 0}, {L"REFRESH", kCmdRefresh, theme::kIconRefresh}};
const TemplateRow kServerAllTemplate[] = {
    {L"SERVER", kCmdServerPage, kNoIcon}, {nullptr, 0, 0}, {L"REFRESH", kCmdRefresh, theme::kIconRefresh}};
const TemplateRow kRefreshTemplate[] = {{L"REFRESH", kCmdRefresh, theme::kIconRefresh}};

template <size_t N>
std::vector<TemplateRow> Rows(const TemplateRow (&table)[N]) { return std::vector<TemplateRow>(table, table + N); }

std::vector<TemplateRow> TemplateOf(MenuTemplate kind) {
    switch (kind) {
        case MenuTemplate::Device: return Rows(kDeviceTemplate);
        case MenuTemplate::Server: return Rows(kServerTemplate);
        case MenuTemplate::Storage: return Rows(kStorageTemplate);
        case MenuTemplate::ServerStorage: return Rows(kServerStorageTemplate);
        case MenuTemplate::ServerAll: return Rows(kServerAllTemplate);
        case MenuTemplate::RefreshOnly: return Rows(kRefreshTemplate);
        default: return {};
    }
}

void InsertRow(HMENU menu, const TemplateRow& row, uint32_t state) {
    MenuItemRecord record{};
    if (!row.key) {
        record = MenuItemRecord{0, MFT_SEPARATOR, 0, 0, kMenuNoIcon, 0, nullptr, nullptr};
    } else {
        record = MenuItemRecord{kMenuIniText, MFT_STRING, state, row.command, row.icon, 0, row.key, nullptr};
    }
    InsertMenuRecord(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &record);
}

void Track(HWND dialog, HMENU menu, POINT at, UINT align) {
    SetForegroundWindow(dialog);
    TrackPopupMenu(menu, align | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr);
    PostMessageW(dialog, WM_NULL, 0, 0);
    FreeMenuItems(menu);
    DestroyMenu(menu);
}

void ShowPlan(HWND dialog, const MenuPlan& plan, POINT at) {
    const std::vector<TemplateRow> rows = TemplateOf(plan.kind);
    if (rows.empty()) return;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    for (const TemplateRow& row : rows) {
        uint32_t state = row.key ? plan.StateOf(row.command) : 0;
        if (row.key && row.command == plan.defaultId) state |= MFS_DEFAULT;
        InsertRow(menu, row, state);
    }
    Track(dialog, menu, at, TPM_LEFTALIGN);
}

}  // namespace

void ShowListContextMenu(HWND dialog, POINT screen) {
    ShowPlan(dialog, ListMenuPlan(DescribeRows(MainListRows()), IsRefreshLockedOut()), screen);
}

void ShowTreeContextMenu(HWND dialog, POINT screen) {
    const TreeSelection selection = MainTreeSelection();
    if (selection.server) {
        ShowPlan(dialog, ServerMenuPlan(DescribeServer(selection.server), IsRefreshLockedOut()), screen);
    } else if (selection.device) {
        const DeviceRow row = DescribeDeviceRow(ListRowRef{selection.device, selection.storage, true});
        ShowPlan(dialog, TreeItemMenuPlan(row, IsRefreshLockedOut()), screen);
    }
}

void ShowHelpMenu(HWND dialog, int buttonId) {
    auto has = [](const wchar_t* section, const wchar_t* key) {
        return !ReadIniValue(g_app.iniPath, section, key, 520).empty();
    };
    const std::vector<HelpItem> items = HelpMenuItems(has(L"HELP", L"HTML"), has(L"HELP", L"COMPANY"),
                                                      has(L"HELP", L"SUPPORT"), has(L"MENU", L"HELP_VERSION"));
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    for (const HelpItem& item : items) {
        InsertRow(menu, TemplateRow{item.key[0] ? item.key : nullptr, item.command, item.icon}, 0);
    }
    RECT button{};
    GetWindowRect(GetDlgItem(dialog, buttonId), &button);
    Track(dialog, menu, POINT{button.left, button.bottom}, TPM_LEFTALIGN | TPM_TOPALIGN);
}
