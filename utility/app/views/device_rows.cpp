#include "device_rows.h"

#include <commctrl.h>

#include <cwchar>
#include <string>

#include "app.h"
#include "app_ids.h"
#include "device_category.h"
#include "ini_text.h"
#include "list_view.h"
#include "tree_view.h"
#include "pnx_api.h"
#include "progress_dialog.h"
#include "theme_resources.h"
#include "../../../client/nas_info.h"
#include "../../../client/server_entry.h"

namespace {

constexpr int kDeviceTypeStorage = 1;

HPnxDv Dv(uint64_t handle) { return reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(handle)); }

struct UsbFacts {
    bool read = false;
    uint16_t status = 0;
    uint32_t userAddress = 0;
};

UsbFacts ReadUsb(uint64_t device) {
    UsbFacts facts;
    if (!g_app.service || !device) return facts;
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, Dv(device), &info, nullptr)) {
        facts = UsbFacts{true, info.status, info.userAddress};
    }
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    return facts;
}

bool ReadStorage(uint64_t entry, DeviceRow& row) {
    NasInfo info{};
    g_pnx.PnxInitNasInfo(g_app.service, &info);
    const bool read = g_pnx.PnxGetNasInfo(g_app.service, Dv(entry), &info) != 0;
    if (read) {
        row.storageState = info.state;
        row.mounted = info.mounted != 0;
    }
    g_pnx.PnxFreeNasInfo(g_app.service, &info);
    return read;
}

bool ReadServer(HPnxSv server, ServerInfo& info) {
    info = ServerInfo{};
    return server && g_pnx.PnxGetServerInfo(g_app.service, server, &info);
}

bool IsShuttle(const ServerInfo& info) {
    char model[sizeof info.modelName + 1] = {};
    memcpy(model, info.modelName, sizeof info.modelName);
    return lstrcmpiA(model, "K-Shuttle") == 0;
}

}  // namespace

std::vector<ListRowRef> MainListRows() {
    std::vector<ListRowRef> rows;
    HWND list = g_app.mainDialog ? GetDlgItem(g_app.mainDialog, IDC_DEVICE_LIST) : nullptr;
    if (!list) return rows;
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        const ListRowRecord* record = ListGetRowRecord(list, i);
        if (!record || !record->handle) continue;
        ListRowRef ref;
        ref.handle = record->handle;
        ref.selected = (ListView_GetItemState(list, i, LVIS_SELECTED) & LVIS_SELECTED) != 0;
        rows.push_back(ref);
    }
    return rows;
}

TreeSelection MainTreeSelection() {
    TreeSelection selection;
    HWND tree = g_app.mainDialog ? GetDlgItem(g_app.mainDialog, IDC_TREE) : nullptr;
    const TreeItemRecord* record = tree ? TreeGetSelectedItemData(tree) : nullptr;
    if (!record) return selection;
    selection.server = record->server;
    selection.device = record->device;
    if (record->device && g_app.service)
        selection.storage = g_pnx.PnxGetDeviceType(g_app.service, Dv(record->device)) == kDeviceTypeStorage;
    return selection;
}

uint16_t DeviceStatus(uint64_t device) { return ReadUsb(device).status; }

DeviceRow DescribeDeviceRow(const ListRowRef& ref) {
    DeviceRow row;
    row.handle = ref.handle;
    row.selected = ref.selected;
    row.storage = ref.storage ||
                  (g_app.service && g_pnx.PnxGetDeviceType(g_app.service, Dv(ref.handle)) == kDeviceTypeStorage);
    if (row.storage) {
        ReadStorage(ref.handle, row);
        return row;
    }
    const UsbFacts facts = ReadUsb(ref.handle);
    row.status = facts.status;
    if (facts.status == kStatusUsedElsewhere) {
        ServerInfo server{};
        if (ReadServer(g_pnx.PnxGetHPnxSv(g_app.service, Dv(ref.handle)), server)) {
            row.ownShuttle = IsShuttle(server) && facts.userAddress == server.ipAddress;
        }
    }
    return row;
}

std::vector<DeviceRow> DescribeRows(const std::vector<ListRowRef>& rows) {
    std::vector<DeviceRow> out;
    out.reserve(rows.size());
    for (const ListRowRef& ref : rows) out.push_back(DescribeDeviceRow(ref));
    return out;
}

TrayRow DescribeTrayRow(const ListRowRef& ref) {
    const DeviceRow row = DescribeDeviceRow(ref);
    TrayRow tray;
    tray.handle = row.handle;
    tray.storage = row.storage;
    tray.status = row.status;
    tray.requestBlocked = row.ownShuttle;
    if (row.storage) {
        tray.classIcon = theme::kIconStorage;
        tray.text = StorageShareName(row.handle);
        return tray;
    }
    tray.classIcon = ClassIconOfCategory(GetDeviceCategory(Dv(row.handle)));
    wchar_t state[260] = {};
    GetMenuStateText(row.status, state, 260);
    tray.text = DeviceFavouriteName(row.handle) + L" (" + state + L")";
    return tray;
}

ServerModel DescribeServer(uint64_t server) {
    ServerModel model;
    HPnxSv sv = reinterpret_cast<HPnxSv>(static_cast<uintptr_t>(server));
    ServerInfo info{};
    if (!ReadServer(sv, info)) return model;
    model.status = info.statusWord;
    model.shuttle = IsShuttle(info);
    HPnxDv device = nullptr;
    for (uint32_t i = 0; g_pnx.PnxEnumUsbDevices(g_app.service, sv, i, &device); ++i) {
        model.devices.push_back(DescribeDeviceRow(ListRowRef{reinterpret_cast<uint64_t>(device), false, false}));
    }
    for (uint32_t i = 0; g_pnx.PnxEnumNasDevices(g_app.service, sv, i, &device); ++i) {
        model.storage.push_back(DescribeDeviceRow(ListRowRef{reinterpret_cast<uint64_t>(device), true, false}));
    }
    return model;
}

BOOL GetMenuStateText(uint16_t status, wchar_t* buffer, size_t capacity) {
    const wchar_t* key = status == 1 ? L"MN_FREE" : status == 2 ? L"MN_CONNECT" : status == 3 ? L"MN_OTHER" : nullptr;
    if (!key || !buffer) return FALSE;
    const std::wstring text = ReadIniValue(g_app.iniPath, L"MENU", key, 260);
    if (text.empty() || text.size() >= capacity) return FALSE;
    wcscpy(buffer, text.c_str());
    return TRUE;
}
