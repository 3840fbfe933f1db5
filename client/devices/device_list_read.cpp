#include "device_list_read.h"

#include <cstdio>
#include <string>

#include "lib_lock.h"
#include "lib_state.h"
#include "log.h"
#include "messages.h"
#include "notify.h"
#include "text_util.h"

namespace {

constexpr uint16_t kServerFunctionEncryption = 0x1;

std::string InterfaceText(const UsbDeviceInfo& info) {
    std::string text;
    for (uint32_t i = 0; info.interfaceClasses && i < info.interfaceCount; ++i) {
        char item[16];
        if (info.interfaceSubclasses) {
            std::snprintf(item, sizeof item, "%04x%04x", info.interfaceClasses[i], info.interfaceSubclasses[i]);
        } else {
            std::snprintf(item, sizeof item, "%04x", info.interfaceClasses[i]);
        }
        if (!text.empty()) text += ',';
        text += item;
    }
    return text;
}

void LogRecord(HWND logWindow, const UsbDeviceInfo& info) {
    char status[64] = "";
    char function[128] = "";
    DeviceStatusText(info.status, status, sizeof status);
    DeviceFunctionText(info.function, function, sizeof function);
    LogLine(logWindow, "  %s", info.name ? info.name : "");
    LogLine(logWindow, "    Port      : %s", info.ports ? info.ports : "");
    LogLine(logWindow, "    Location  : %s", info.locations ? info.locations : "");
    LogLine(logWindow, "    VID/PID   : 0x%04X / 0x%04X", info.vid, info.pid);
    LogLine(logWindow, "    Interface : (%d Count) %s", static_cast<int>(info.interfaceCount), InterfaceText(info).c_str());
    LogLine(logWindow, "    Status    : %s", status);
    LogLine(logWindow, "    UseIpAddr : %s", Ipv4Text(info.userAddress).c_str());
    LogLine(logWindow, "    Function  : %s", function);
    if (info.serial) {
        LogLine(logWindow, "    Serial    : %s", info.serial);
    } else {
        LogLine(logWindow, "    Serial    : Nothing.");
    }
}

}  // namespace

bool DeviceListFormOfMessage(UINT message, DeviceListForm* form) {
    DeviceListForm found;
    switch (message) {
    case PNXM_MONITOR_DEVICE_LIST:
        found = DeviceListForm::Plain;
        break;
    case PNXM_MONITOR_DEVICE_LIST_EX:
        found = DeviceListForm::Ex;
        break;
    case PNXM_MONITOR_DEVICE_LIST_EX_II:
        found = DeviceListForm::ExII;
        break;
    default:
        return false;
    }
    if (form) *form = found;
    return true;
}

DeviceListContext DeviceListContextOf(const ServerEntry* entry) {
    DeviceListContext context;
    LibraryLock lock;
    for (const LocalAddress& local : g_lib.localAddresses) context.localAddresses.push_back(local.address);
    if (entry && entry->record) {
        context.ownAddress = entry->record->localAddress;
        if (entry->record->info) context.encryption = (entry->record->info->functionWord & kServerFunctionEncryption) != 0;
    }
    return context;
}

DeviceListContext DeviceListContextOfWindow(HWND serverWindow) {
    LibraryLock lock;
    return DeviceListContextOf(ServerEntryOfWindow(serverWindow));
}

ParsedDeviceList ReadDeviceListReply(HWND serverWindow, DeviceListForm form, const uint8_t* data, size_t length) {
    ServerEntry* entry = ServerEntryOfWindow(serverWindow);
    if (!entry) return {};
    ParsedDeviceList devices = ParseUsbDeviceList(data, length, form, DeviceListContextOf(entry));
    if (LogFlags()) LogParsedDevices(serverWindow, devices);
    return devices;
}

void LogParsedDevices(HWND logWindow, const ParsedDeviceList& devices) {
    LogLine(logWindow, "  *-*-* New Interface Count(%d) *-*-*", static_cast<int>(devices.size()));
    for (size_t i = 0; i < devices.size(); ++i) LogRecord(logWindow, devices[i]);
}
