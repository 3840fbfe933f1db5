#include "notify_records.h"

#include <cstring>

#include "app.h"
#include "notify_handlers.h"
#include "pnx_api.h"

using namespace notify_detail;

DeviceFacts::DeviceFacts() {
    if (g_pnx.module) g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
}

DeviceFacts::~DeviceFacts() {
    if (g_pnx.module) g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
}

bool ReadDeviceFacts(HPnxDv device, DeviceFacts* facts) {
    if (!device || !g_pnx.module) return false;
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &facts->info, &facts->property) != 1) return false;
    facts->displayName = Wide(facts->property.favoriteName, CP_OEMCP);
    if (facts->displayName.empty()) facts->displayName = Wide(facts->info.name, CP_OEMCP);
    facts->serverHandle = g_pnx.PnxGetHPnxSv(g_app.service, device);
    if (facts->serverHandle) g_pnx.PnxGetServerInfo(g_app.service, facts->serverHandle, &facts->server);
    return true;
}

void FillServerTexts(DeviceRowData* row, const ServerInfo& server) {
    CopyText(row->hostName, 32, Wide(server.hostName));
    CopyText(row->addressText, 32, AddressText(server.ipAddress));
    CopyText(row->modelName, 32, Wide(server.modelName));
    std::memcpy(row->macAddress, server.hardwareAddress, 6);
}

void InsertTreeChild(HWND tree, uint64_t server, uint64_t handle, TreeDeviceData* data) {
    HTREEITEM parent = server ? TreeFindServer(tree, server) : nullptr;
    if (!parent || TreeFindDevice(tree, handle)) {
        delete data;
        return;
    }
    const bool first = TreeView_GetChild(tree, parent) == nullptr;
    TreeSetHasChildren(tree, parent, true);
    auto* record = new TreeItemRecord{0, handle, nullptr, data};
    // A server shows its devices as soon as it has any; later the user's collapse stays.
    if (TreeInsertItem(tree, parent, 0, record) && first) TreeView_Expand(tree, parent, TVE_EXPAND);
}
