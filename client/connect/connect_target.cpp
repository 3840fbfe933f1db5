#include "connect_target.h"

#include <cstdio>

#include "device_entry.h"
#include "lib_lock.h"
#include "server_entry.h"
#include "usb_device_info.h"

namespace {

std::vector<std::string> SplitList(const char* list) {
    std::vector<std::string> items;
    std::string item;
    for (size_t i = 0; GetListItem(list, i, &item); ++i) items.push_back(item);
    return items;
}

}  // namespace

bool ConnectTarget::IsComPort() const { return !locations.empty() && IsComPortLocation(locations[0].c_str()); }

bool ConnectTarget::HasClass(uint16_t interfaceClass) const {
    for (uint16_t c : classes) {
        if (c == interfaceClass) return true;
    }
    return false;
}

size_t ConnectTarget::UsableInterfaces() const {
    size_t n = 0;
    while (n < ports.size() && n < locations.size() && !ports[n].empty() && !locations[n].empty()) ++n;
    return n;
}

bool SnapshotDevice(DeviceEntry* device, ConnectTarget* target) {
    LibraryLock lock;
    if (!device || device->removed || !device->info) return false;
    ServerEntry* server = ServerEntryOfWindow(device->serverWindow);
    if (!server || !server->record || !server->record->info || server->record->closing) return false;
    const UsbDeviceInfo& info = *device->info;
    ConnectTarget t;
    t.name = info.name ? info.name : "";
    t.ports = SplitList(info.ports);
    t.locations = SplitList(info.locations);
    for (uint32_t i = 0; info.interfaceClasses && i < info.interfaceCount; ++i) t.classes.push_back(info.interfaceClasses[i]);
    t.vid = info.vid;
    t.pid = info.pid;
    t.status = info.status;
    t.statusEx = info.statusEx;
    t.previousStatus = info.previousStatus;
    t.previousStatusEx = info.previousStatusEx;
    t.function = info.function;
    t.userAddress = info.userAddress;
    t.comPort = info.comPort;
    if (device->property) {
        t.hasProperty = true;
        t.property = device->property->property;
        t.com = device->property->com;
        t.comPortNumber = device->property->comPortNumber;
    }
    if (device->ids) {
        if (!device->ids->busIds.empty()) t.busId = device->ids->busIds[0];
        t.printerInterfaces = device->ids->printerInterfaces;
    }
    const ServerInfo& s = *server->record->info;
    t.serverWindow = device->serverWindow;
    t.serverAddress = s.ipAddress;
    memcpy(t.hardwareAddress, s.hardwareAddress, sizeof(t.hardwareAddress));
    t.level = s.rwpLevel;
    t.serverFunction = s.functionWord;
    t.rwpPort = server->record->rwpPort;
    t.model.assign(s.modelName, strnlen(s.modelName, sizeof(s.modelName)));
    t.localAddress = server->record->localAddress;
    t.deviceKey = FormatDeviceKey(s.hardwareAddress, info);
    *target = std::move(t);
    return true;
}

bool DeviceStillListed(DeviceEntry* device) {
    LibraryLock lock;
    return device && !device->removed;
}

std::string AddressText(uint32_t addressNet) {
    const auto* b = reinterpret_cast<const uint8_t*>(&addressNet);
    char text[16];
    snprintf(text, sizeof(text), "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}
