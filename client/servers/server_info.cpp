// What callers read and set of a server: enumerate the server list, copy a server's
// information, its option word and the caller's own value, find the server of a device, and
// find a device by its server's hardware address and its own name, locations and ids.
#include "server_info.h"

#include <commctrl.h>

#include <cstring>

#include "device_entry.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "listview_util.h"
#include "pnxscapi.h"
#include "server_devices.h"
#include "server_entry.h"
#include "server_list.h"
#include "text_util.h"

namespace {
// Copies a text field, cut to the destination and always terminated: the caller's record may
// hold anything before the call.
// Stores a caller's value in the server's record; 0 when the server has none.
template <typename T>
int SetRecordField(HPnxSv server, T ServerRecord::*field, T value) {
    LibraryLock lock;
    if (!server->record) return 0;
    server->record->*field = value;
    return 1;
}
}  // namespace

int EnumServerEntries(HWND service, int index, HPnxSv* server) {
    if (!server || index < 0) return 0;
    HWND list = ServerListControl(service);
    if (!list) return 0;
    // The rows belong to the GUI thread; no lock is held while asking the list for them.
    if (index >= ListView_GetItemCount(list)) return 0;
    auto* entry = static_cast<ServerEntry*>(ListViewItemData(list, index));
    if (!entry) return 0;
    *server = entry;
    return 1;
}

int ServerInfoCopy(HWND service, HPnxSv server, ServerInfo* info) {
    if (!service || !server || !info) return 0;
    LibraryLock lock;
    if (!server->record || !server->record->info) return 0;
    const ServerInfo& from = *server->record->info;
    ServerInfo copy = {};
    copy.ipAddress = from.ipAddress;
    std::memcpy(copy.hardwareAddress, from.hardwareAddress, sizeof copy.hardwareAddress);
    CopyCut(FieldText(from.hostName), copy.hostName);
    CopyCut(FieldText(from.modelName), copy.modelName);
    CopyCut(FieldText(from.firmwareVersion), copy.firmwareVersion);
    copy.rwpLevel = from.rwpLevel;
    copy.functionWordPrevious = from.functionWordPrevious;
    copy.functionWord = from.functionWord;
    copy.statusWordPrevious = from.statusWordPrevious;
    copy.statusWord = from.statusWord;
    copy.optionWordPrevious = from.optionWordPrevious;
    copy.optionWord = from.optionWord;
    uint32_t length = from.extraDataLength < sizeof copy.extraData ? from.extraDataLength : sizeof copy.extraData;
    std::memcpy(copy.extraData, from.extraData, length);
    copy.extraDataLength = length;
    copy.extraDataKind = from.extraDataKind;
    *info = copy;
    return 1;
}

int ServerSetOption(HWND service, HPnxSv server, uint16_t value) {
    return service && server ? SetRecordField(server, &ServerRecord::callerOption, value) : 0;
}

HPnxSv ServerOfDevice(HWND, HPnxDv device) {
    if (!device) return nullptr;
    return ServerEntryOfWindow(DeviceServerWindow(device));
}

uintptr_t ServerGetParam(HWND service, HPnxSv server) {
    if (!service || !server) return 0;
    LibraryLock lock;
    return server->record ? server->record->callerValue : 0;
}

int ServerSetParam(HWND service, HPnxSv server, uintptr_t value) {
    return service && server ? SetRecordField(server, &ServerRecord::callerValue, value) : 0;
}

HPnxDv DeviceFind(HWND, const DeviceLookup* lookup) {
    if (!lookup) return nullptr;
    HWND service;
    {
        LibraryLock lock;
        service = g_lib.serviceWindow;
    }
    ServerEntry* server = FindServerByHardwareText(service, HardwareAddressText(lookup->hardwareAddress).c_str());
    if (!server) return nullptr;
    const char* name = lookup->name ? lookup->name : "";
    const char* locations = lookup->locations ? lookup->locations : "";
    size_t locationsLength = std::strlen(locations);
    LibraryLock lock;
    for (DeviceEntry* device : DeviceEntriesLocked(server->serverWindow)) {
        const UsbDeviceInfo* info = device->info;
        if (!info || !info->name || !info->locations) continue;
        if (_stricmp(info->name, name) != 0) continue;
        if (std::strncmp(info->locations, locations, locationsLength) != 0) continue;
        if (info->pid == lookup->pid && info->vid == lookup->vid) return device;
    }
    return nullptr;
}
