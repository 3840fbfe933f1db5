// PNXN_SERVER: servers appear at the tree's root, change and go; over-current balloons.
#include <cstring>

#include "app.h"
#include "tray.h"
#include "list_view.h"
#include "notify_handlers.h"
#include "../../client/server_entry.h"
#include "pnx_api.h"
#include "tree_view.h"
#include "view_batch.h"
#include "utility_log.h"
#include "view_rules.h"

using namespace notify_detail;

namespace {

constexpr uint16_t kChangeBase = 0x1;
constexpr uint16_t kChangeFunction = 0x2;
constexpr uint16_t kChangeStatus = 0x4;
constexpr uint16_t kOverCurrent = 0x0001;
constexpr uint16_t kNoDevice = 0x0002;
constexpr uint16_t kNetworkError = 0x0004;
constexpr uint16_t kGetStatus = 0x0008;
constexpr uint32_t kBalloonMs = 10000;

int g_serverCount = 0;

void RepaintViews() {
    InvalidateEmptyList(Views().list);
    InvalidateEmptyTree(Views().tree);
    InvalidateRect(Views().list, nullptr, TRUE);
    InvalidateRect(Views().tree, nullptr, TRUE);
}

void QueueOverCurrent(HPnxSv server, const TreeServerData& data, const wchar_t* logFormat) {
    const std::wstring mac = MacText(data.macAddress);
    const std::wstring name = ServerItemName(data.hostName, data.addressText);
    QueueBalloon(g_app.mainWindow, reinterpret_cast<uint64_t>(server), mac.c_str(), L"ERROR", L"TITLE",
                 L"MESSAGE16", name.c_str(), kBalloonMs);
    WriteLog(logFormat, name.c_str());
}

void FillServerData(TreeServerData* data, const ServerInfo& info) {
    std::memcpy(data->macAddress, info.hardwareAddress, 6);
    CopyText(data->addressText, 16, AddressText(info.ipAddress));
    CopyText(data->hostName, 64, Wide(info.hostName));
    CopyText(data->modelName, 43, Wide(info.modelName));
    data->status = info.statusWord;
    data->imageIndex = static_cast<uint16_t>(GetServerImageIndex(info.functionWord, info.statusWord, data->modelName));
}

void OnNewServer(HPnxSv server) {
    ServerInfo info{};
    if (g_pnx.PnxGetServerInfo(g_app.service, server, &info) != 1) return;
    auto* data = new TreeServerData{};
    FillServerData(data, info);
    WriteLog(L"*** New Server ***");
    WriteLog(L"  New: %hS, %s, %s", info.modelName, data->addressText, MacText(data->macAddress).c_str());
    HWND tree = Views().tree;
    if (TreeFindServer(tree, reinterpret_cast<uint64_t>(server))) {
        delete data;
        return;
    }
    auto* record = new TreeItemRecord{reinterpret_cast<uint64_t>(server), 0, data, nullptr};
    TreeInsertItem(tree, TVI_ROOT, 0, record);
    if (WithinStartWindow()) TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    if (info.statusWord & kOverCurrent) QueueOverCurrent(server, *data, L">> BalloonHelp(Over Current1): %s");
}

void OnDeleteServer(HPnxSv server) {
    RemoveBalloons(g_app.mainWindow, reinterpret_cast<uint64_t>(server));
    HWND tree = Views().tree;
    HTREEITEM item = TreeFindServer(tree, reinterpret_cast<uint64_t>(server));
    const TreeItemRecord* record = TreeGetItemData(tree, item);
    if (!item || !record || !record->serverData) return;
    const TreeServerData& d = *record->serverData;
    WriteLog(L"*** Delete Server ***");
    WriteLog(L"  Delete: %s, %s, %s", d.modelName, d.addressText, MacText(d.macAddress).c_str());
    // Its devices' rows went with the library's delete notices of each device, which come first.
    NoteViewChange(tree);
    TreeView_DeleteItem(tree, item);
}

bool UpdateRowsOfServer(const TreeServerData& data, const std::wstring& host, const std::wstring& address) {
    HWND list = Views().list;
    bool any = false;
    for (ListRowRecord* record : ListAllRecordsUnordered(list)) {
        if (!record || !record->data || std::memcmp(record->data->macAddress, data.macAddress, 6) != 0) continue;
        if (host == record->data->hostName && address == record->data->addressText) continue;
        const DeviceRowData before = *record->data;
        CopyText(record->data->hostName, 32, host);
        CopyText(record->data->addressText, 32, address);
        ListRowChanged(list, record, ChangedRowColumns(before, *record->data));
        any = true;
    }
    return any;
}

bool ApplyBaseChange(TreeServerData& d, const ServerInfo& info) {
    const std::wstring host = Wide(info.hostName), address = AddressText(info.ipAddress), model = Wide(info.modelName);
    UpdateRowsOfServer(d, host, address);
    const bool changed = host != d.hostName || address != d.addressText || model != d.modelName;
    CopyText(d.hostName, 64, host);
    CopyText(d.addressText, 16, address);
    CopyText(d.modelName, 43, model);
    return changed;
}

LRESULT OnServerStatusChange(const NotifyEvent& event, HPnxSv server) {
    HWND tree = Views().tree;
    HTREEITEM item = TreeFindServer(tree, reinterpret_cast<uint64_t>(server));
    TreeItemRecord* record = TreeGetItemData(tree, item);
    if (!item || !record || !record->serverData) return 0;
    ServerInfo info{};
    if (g_pnx.PnxGetServerInfo(g_app.service, server, &info) != 1) return 0;
    TreeServerData& d = *record->serverData;
    WriteLog(L"*** Change Server Status  ***");
    WriteLog(L"  %hS(%hS) - %s", info.modelName, info.hostName, FormatChangeReason(PNXN_SERVER, event).c_str());
    bool redraw = false, repaintList = false;
    if (event.flags & kChangeBase) redraw |= ApplyBaseChange(d, info);
    const uint16_t oldStatus = d.status, oldIcon = d.imageIndex;
    if (event.flags & (kChangeFunction | kChangeStatus)) {
        d.status = info.statusWord;
        d.imageIndex = static_cast<uint16_t>(GetServerImageIndex(info.functionWord, info.statusWord, d.modelName));
    }
    if (event.flags & kChangeFunction) redraw |= d.imageIndex != oldIcon;
    if (event.flags & kChangeStatus) {
        const uint16_t changed = static_cast<uint16_t>(oldStatus ^ d.status);
        if ((changed & kOverCurrent) && (d.status & kOverCurrent)) {
            QueueOverCurrent(server, d, L">> BalloonHelp(Over Current2): %s");
        } else if (changed & kOverCurrent) {
            RemoveBalloons(g_app.mainWindow, reinterpret_cast<uint64_t>(server));
            WriteLog(L">> BalloonHelp(Over Current2 - Delete): %hS", info.hostName);
        }
        redraw |= (changed & (kGetStatus | kNoDevice)) || changed || d.imageIndex != oldIcon;
        repaintList = (changed & (kNetworkError | kNoDevice)) != 0;
    }
    if (redraw) {
        const bool children = !(d.status & kNoDevice) && TreeView_GetChild(tree, item);
        TreeUpdateItem(tree, item, children ? 1 : 0, record);
    }
    if (repaintList) InvalidateRect(Views().list, nullptr, TRUE);
    return 1;
}

}  // namespace

int KnownServerCount() { return g_serverCount; }

LRESULT OnServerNotify(const NotifyEvent* event, HPnxSv server) {
    if (!event || !server) return 0;
    switch (event->kind) {
        case PNXET_NEW:
            if (g_serverCount == 0) RepaintViews();
            ++g_serverCount;
            OnNewServer(server);
            break;
        case PNXET_DELETE:
            OnDeleteServer(server);
            if (g_serverCount > 0 && --g_serverCount == 0) RepaintViews();
            break;
        case PNXET_CHANGE:
            OnServerStatusChange(*event, server);
            break;
        default:
            return 0;
    }
    UpdateButtons();
    return 1;
}
