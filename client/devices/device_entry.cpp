#include "device_entry.h"

#include <commctrl.h>

#include <mutex>
#include <new>
#include <unordered_set>

#include "connect_marks.h"
#include "device_ids.h"
#include "nas_info.h"
#include "default_property.h"
#include "lib_state.h"
#include "list_rows.h"
#include "listview_util.h"
#include "server_entry.h"
#include "server_identity.h"
#include "settings_store.h"

namespace {

DeviceRowDeletedHook g_rowDeleted = nullptr;
std::mutex g_liveMutex;                          // guards g_liveEntries
std::unordered_set<const void*> g_liveEntries;  // guarded by g_liveMutex

uint32_t CountPrinterInterfaces(const UsbDeviceInfo& info) {
    uint32_t count = 0;
    for (uint32_t i = 0; info.interfaceClasses && i < info.interfaceCount; ++i) {
        if (info.interfaceClasses[i] == kInterfaceClassPrinter) ++count;
    }
    return count;
}

// The store's record of the device over its starting settings, or the device recorded there.
void ApplySettingsStoreLocked(DeviceEntry* device, const ServerInfo& server, const std::string& key) {
    SettingsStore store = CurrentSettingsStore();
    if (store.kind == qz::SettingsLocation::kNone) return;
    if (DeviceKeyExists(&store, key.c_str())) {
        ReadDeviceProperties(&store, key.c_str(), device->info, device->property);
        WriteServerIdentity(g_lib.location, key.c_str(), server);
        WriteDeviceIdentity(&store, key.c_str(), device->info);
        LoadDeviceIds(store, key, device->ids);
        if (QueryConnectMark(&store, key.c_str())) {
            device->pending |= kPendingAutoConnect;
            device->info->statusEx |= kDeviceStatusExWrongDisconnect;
            DeleteConnectMark(&store, key.c_str());
        }
    } else {
        WriteServerIdentity(g_lib.location, key.c_str(), server);
        WriteDeviceIdentity(&store, key.c_str(), device->info);
        WriteDeviceProperties(&store, key.c_str(), device->info, device->property);
    }
}

bool AppendRowLocked(HWND serverWindow, DeviceEntry* device) {
    HWND list = ServerDeviceList(serverWindow);
    if (!list) return false;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = device->info->name ? device->info->name : const_cast<char*>("");
    item.lParam = reinterpret_cast<LPARAM>(device);
    item.state = INDEXTOSTATEIMAGEMASK(kRowStateSeen);
    item.stateMask = LVIS_STATEIMAGEMASK;
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return false;
    // The list may ignore the state on insert; set it again explicitly.
    ListView_SetItemState(list, row, INDEXTOSTATEIMAGEMASK(kRowStateSeen), LVIS_STATEIMAGEMASK);
    return true;
}

}  // namespace

// The lists are asked through the library's record of their rows: these run on any thread
// with the lock held, and the lists belong to the GUI thread.
std::vector<DeviceEntry*> DeviceEntriesLocked(HWND serverWindow) {
    std::vector<DeviceEntry*> devices;
    HWND list = ServerDeviceList(serverWindow);
    if (!list) return devices;
    for (LPARAM data : ListRowsLocked(list)) {
        if (auto* device = reinterpret_cast<DeviceEntry*>(data)) devices.push_back(device);
    }
    return devices;
}

int DeviceRowLocked(HWND serverWindow, const DeviceEntry* device) {
    HWND list = ServerDeviceList(serverWindow);
    if (!list || !device) return -1;
    return ListRowOfLocked(list, reinterpret_cast<LPARAM>(device));
}

bool DeviceListedLocked(HWND serverWindow, const DeviceEntry* device) {
    return DeviceRowLocked(serverWindow, device) >= 0;
}

DeviceEntry* NewDeviceEntry(HWND serverWindow, const UsbDeviceInfo& record) {
    auto* device = new (std::nothrow) DeviceEntry{};
    if (!device) return nullptr;
    device->serverWindow = serverWindow;
    device->info = NewUsbDeviceInfo();
    device->property = NewPropertyInfo();
    device->ids = new (std::nothrow) DeviceIdSet{};
    if (!device->info || !device->property || !device->ids || !CopyUsbDeviceInfo(device->info, record)) {
        DestroyDeviceEntry(device);
        return nullptr;
    }
    device->ids->printerInterfaces = CountPrinterInterfaces(*device->info);
    RememberLiveEntry(device);
    return device;
}

void RememberLiveEntry(const DeviceEntry* entry) {
    std::lock_guard<std::mutex> guard(g_liveMutex);
    g_liveEntries.insert(entry);
}

bool IsLiveEntry(const void* handle) {
    std::lock_guard<std::mutex> guard(g_liveMutex);
    return handle && g_liveEntries.count(handle) != 0;
}

void DestroyDeviceEntry(DeviceEntry* device) {
    if (!device) return;
    {
        std::lock_guard<std::mutex> guard(g_liveMutex);
        g_liveEntries.erase(device);
    }
    DeleteUsbDeviceInfo(device->info);
    DeletePropertyInfo(device->property);
    delete device->ids;
    if (device->storage) {
        FreeNasStrings(device->storage);
        delete device->storage;
    }
    delete device;
}

DeviceEntry* CreateDeviceEntryLocked(HWND serverWindow, const ServerInfo& server, const UsbDeviceInfo& record) {
    DeviceEntry* device = NewDeviceEntry(serverWindow, record);
    if (!device) return nullptr;
    if (!StartingPropertyLocked(record.vid, record.pid, device->info->name, device->property)) {
        DestroyDeviceEntry(device);
        return nullptr;
    }
    ApplySettingsStoreLocked(device, server, FormatDeviceKey(server.hardwareAddress, *device->info));
    if (!AppendRowLocked(serverWindow, device)) {
        DestroyDeviceEntry(device);
        return nullptr;
    }
    return device;
}

bool DeleteDeviceRowLocked(HWND serverWindow, DeviceEntry* device) {
    int row = DeviceRowLocked(serverWindow, device);
    if (row < 0) return false;
    // The list's delete notice (automation release) runs inside this call, before the entry
    // goes.
    ListView_DeleteItem(ServerDeviceList(serverWindow), row);
    device->removed = true;
    // The waiting requests let go of the entry; whoever holds it last releases it.
    HoldDeviceEntryLocked(device);
    if (g_rowDeleted) g_rowDeleted(device);
    DropDeviceEntryLocked(device);
    return true;
}

void SetDeviceRowDeletedHook(DeviceRowDeletedHook hook) {
    g_rowDeleted = hook;
}

void HoldDeviceEntryLocked(DeviceEntry* device) {
    if (device) ++device->requestRefs;
}

void DropDeviceEntryLocked(DeviceEntry* device) {
    if (!device || device->requestRefs == 0) return;
    if (--device->requestRefs == 0 && device->removed) DestroyDeviceEntry(device);
}

std::string DeviceKeyOfLocked(const DeviceEntry* device) {
    if (!device || !device->info) return {};
    ServerEntry* server = ServerEntryOfWindow(device->serverWindow);
    if (!server || !server->record || !server->record->info) return {};
    return FormatDeviceKey(server->record->info->hardwareAddress, *device->info);
}
