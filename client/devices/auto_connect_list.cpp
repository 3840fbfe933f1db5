#include "auto_connect_list.h"

#include "device_compare.h"
#include "device_entry.h"
#include "log.h"
#include "notify.h"

namespace {

bool IsDisplayDevice(const DeviceEntry* device) {
    return device->info && IsDisplayLinkDevice(device->info->vid, device->info->pid);
}

bool HasPrinterInterface(const UsbDeviceInfo& info) {
    if (!info.interfaceClasses) return false;
    for (uint32_t i = 0; i < info.interfaceCount; ++i) {
        if (info.interfaceClasses[i] == kInterfaceClassPrinter) return true;
    }
    return false;
}

// A display device that this PC holds by a connect of its own keeps the server's other
// devices following it.
bool DisplayDeviceInUse(HWND serverWindow) {
    for (DeviceEntry* device : DeviceEntriesLocked(serverWindow)) {
        if (IsDisplayDevice(device) && device->info->status == kDeviceStatusConnected && device->connectAction != 0) {
            return true;
        }
    }
    return false;
}

const DeviceEntry* ItemDevice(const AutoDeviceItem& item) {
    return reinterpret_cast<const DeviceEntry*>(static_cast<uintptr_t>(item.device));
}

}  // namespace

void AddCandidate(std::vector<AutoDeviceItem>& list, const DeviceEntry* device, uint16_t reason) {
    list.push_back({static_cast<uint64_t>(reinterpret_cast<uintptr_t>(device)), reason});
}

void CollectAutoConnectDevicesLocked(HWND serverWindow, AutoDeviceCandidates& lists) {
    for (DeviceEntry* device : DeviceEntriesLocked(serverWindow)) {
        if (!device->info || device->info->status != kDeviceStatusFree) continue;
        if (!HasPrinterInterface(*device->info)) continue;
        if (device->property && (device->property->printer & kPrinterNoNewDevice)) continue;
        AddCandidate(lists.newDevice, device, kAutoReasonNewDevice);
    }
}

void FilterAutoConnectDevicesLocked(HWND serverWindow, uint16_t serverOption, AutoDeviceCandidates& lists) {
    bool ownList = (serverOption & kServerOptionOwnList) != 0;
    bool displayRule = (serverOption & kServerOptionDisplayRule) != 0;
    if (!displayRule) return;
    std::vector<AutoDeviceItem>& list = lists.serverOption;
    if (ownList) {
        bool display = DisplayDeviceInUse(serverWindow);
        for (const AutoDeviceItem& item : list) display = display || IsDisplayDevice(ItemDevice(item));
        if (!display) list.clear();
        return;
    }
    bool follow = DisplayDeviceInUse(serverWindow);
    for (const AutoDeviceItem& item : list) {
        const DeviceEntry* device = ItemDevice(item);
        if (!IsDisplayDevice(device)) continue;
        follow = follow || device->pending != 0;
        break;
    }
    list.clear();
    if (!follow) return;
    for (DeviceEntry* device : DeviceEntriesLocked(serverWindow)) {
        if (device->info && device->info->status == kDeviceStatusFree) {
            AddCandidate(list, device, kAutoReasonAutoConnect);
        }
    }
}

void SendAutoDeviceLists(HWND serverWindow, uint16_t serverOption, bool newDeviceBit, AutoDeviceCandidates& lists) {
    if (serverOption != 0) {
        if (!lists.serverOption.empty()) {
            LogLine(serverWindow, "  *** (AutoDevice(Ex) - Connect) ***");
            NotifyDeviceList(serverWindow, PNXET_CONNECT, 0, lists.serverOption);
        }
    } else if (!lists.connect.empty()) {
        LogLine(serverWindow, "  *** (AutoDevice - Connect) ***");
        NotifyDeviceList(serverWindow, PNXET_CONNECT, 0, lists.connect);
    }
    if (!lists.disconnect.empty()) {
        LogLine(serverWindow, "  *** (AutoDevice - Disconnect) ***");
        NotifyDeviceList(serverWindow, PNXET_DISCONNECT, 0, lists.disconnect);
    }
    if (newDeviceBit && !lists.newDevice.empty()) {
        LogLine(serverWindow, "  *** (AutoDevice - New Device) ***");
        NotifyDeviceList(serverWindow, PNXET_CONNECT, 0, lists.newDevice);
    }
}
