// Harness commands for the devices of a server:
//   devices SERVER                         every device of the server (PnxEnumUsbDevices) with
//                                          its PnxGetUsbDeviceInfo fields -> "devices": [{...}]
//   deviceinfo DEVICE                      one device's fields: "device","name","ports",
//                                          "locations","serial","vid","pid","interfaces",
//                                          "classes","user","pc_name","status","previous_status",
//                                          "status_ex","function","com_port","property","printer"
//   setdeviceproperty DEVICE [property=N] [printer=N] [appbits=N] [app=PATH] [wait=MS]
//                                          PnxSetUsbDeviceInfo with those settings changed
//                                          (wait: the waitTimer before an automatic disconnect)
//   defaultproperty [property=N] [printer=N]
//                                          PnxSetDefaultPropertyInfo when a value is given, then
//                                          PnxGetDefaultPropertyInfo -> "property","printer"
//   devicemarks SERVER [remove=0|1] [keep=0|1]
//                                          the server's remove-missing marks -> "remove","keep"
//   deviceentry DEVICE [busy=N] [action=N] sets what a connect would set on a listed device
//                                          (no connect queue runs here), then reports
//                                          "busy","action","pending","keepalive_lost"
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device_entry.h"
#include "harness_addresses.h"
#include "harness_commands.h"
#include "export_table.h"
#include "pnxscapi.h"
#include "server_entry.h"
#include "usb_device_info.h"

namespace {

using harness::Missing;
using harness::Result;


template <typename T>
T* HandleArg(const harness::Args& args, const char* key, size_t index) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(std::strtoull(args.Get(key, index).c_str(), nullptr, 0)));
}

std::string Text(const char* text) { return text ? text : ""; }

std::string Number(int64_t value) { return std::to_string(value); }

// The device's fields as a JSON object, through the exports the utility uses; empty when the
// library refuses the device.
std::string DeviceJson(harness::Context& ctx, HPnxDv device) {
    auto init = ctx.Bind<decltype(&PnxInitUsbDeviceInfo)>(kOrdPnxInitUsbDeviceInfo);
    auto get = ctx.Bind<decltype(&PnxGetUsbDeviceInfo)>(kOrdPnxGetUsbDeviceInfo);
    auto free = ctx.Bind<decltype(&PnxFreeUsbDeviceInfo)>(kOrdPnxFreeUsbDeviceInfo);
    if (!init || !get || !free) return "";
    UsbDeviceInfo info;
    PropertyInfo property;
    init(ctx.service, &info, &property);
    if (get(ctx.service, device, &info, &property) != 1) return "";
    std::string classes = "[";
    for (uint32_t i = 0; info.interfaceClasses && i < info.interfaceCount; ++i) {
        if (i) classes += ",";
        classes += Number(info.interfaceClasses[i]);
    }
    classes += "]";
    std::string pcName(info.userPcName, strnlen(info.userPcName, sizeof info.userPcName));
    std::string json = "{\"device\":" + harness::JsonString(harness::HexText(reinterpret_cast<uintptr_t>(device)));
    json += ",\"name\":" + harness::JsonString(Text(info.name));
    json += ",\"ports\":" + harness::JsonString(Text(info.ports));
    json += ",\"locations\":" + harness::JsonString(Text(info.locations));
    json += ",\"serial\":" + (info.serial ? harness::JsonString(info.serial) : std::string("null"));
    json += ",\"vid\":" + Number(info.vid) + ",\"pid\":" + Number(info.pid);
    json += ",\"interfaces\":" + Number(info.interfaceCount) + ",\"classes\":" + classes;
    json += ",\"user\":" + harness::JsonString(harness::DottedNetworkText(info.userAddress));
    json += ",\"pc_name\":" + harness::JsonString(pcName);
    json += ",\"status\":" + Number(info.status) + ",\"previous_status\":" + Number(info.previousStatus);
    json += ",\"status_ex\":" + Number(info.statusEx) + ",\"function\":" + Number(info.function);
    json += ",\"com_port\":" + Number(info.comPort);
    json += ",\"property\":" + Number(property.property) + ",\"printer\":" + Number(property.printer) + "}";
    free(ctx.service, &info, &property);
    return json;
}

bool Devices(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto enumerate = ctx.Bind<decltype(&PnxEnumUsbDevices)>(kOrdPnxEnumUsbDevices);
    if (!enumerate) return Missing(out, kOrdPnxEnumUsbDevices);
    auto* server = HandleArg<ServerEntry>(args, "server", 0);
    std::string json = "[";
    HPnxDv device = nullptr;
    for (uint32_t i = 0; enumerate(ctx.service, server, i, &device); ++i) {
        std::string one = DeviceJson(ctx, device);
        if (one.empty()) continue;
        if (json.size() > 1) json += ",";
        json += one;
    }
    out.AddRaw("devices", json + "]");
    return true;
}

bool DeviceInfo(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    std::string json = DeviceJson(ctx, HandleArg<DeviceEntry>(args, "device", 0));
    if (json.empty()) return false;
    out.AddRaw("info", json);
    return true;
}

bool SetDeviceProperty(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto init = ctx.Bind<decltype(&PnxInitUsbDeviceInfo)>(kOrdPnxInitUsbDeviceInfo);
    auto get = ctx.Bind<decltype(&PnxGetUsbDeviceInfo)>(kOrdPnxGetUsbDeviceInfo);
    auto set = ctx.Bind<decltype(&PnxSetUsbDeviceInfo)>(kOrdPnxSetUsbDeviceInfo);
    auto free = ctx.Bind<decltype(&PnxFreeUsbDeviceInfo)>(kOrdPnxFreeUsbDeviceInfo);
    if (!init || !get || !set || !free) return Missing(out, kOrdPnxSetUsbDeviceInfo);
    auto* device = HandleArg<DeviceEntry>(args, "device", 0);
    UsbDeviceInfo info;
    PropertyInfo property;
    init(ctx.service, &info, &property);
    if (get(ctx.service, device, &info, &property) != 1) return false;
    property.property = static_cast<uint16_t>(args.GetInt("property", 99, property.property));
    property.printer = static_cast<uint16_t>(args.GetInt("printer", 99, property.printer));
    property.application = static_cast<uint16_t>(args.GetInt("appbits", 99, property.application));
    property.waitTimer = static_cast<uint32_t>(args.GetInt("wait", 99, property.waitTimer));
    // A watched application (one path): the record points at our bytes only for the call.
    std::string app = args.Get("app", 99);
    std::string list = app.empty() ? std::string() : app + std::string(2, '\0');
    uint8_t* ownList = property.applicationList;
    uint32_t ownCount = property.applicationCount, ownSize = property.applicationSize;
    if (!app.empty()) {
        property.applicationList = reinterpret_cast<uint8_t*>(list.data());
        property.applicationCount = 1;
        property.applicationSize = static_cast<uint32_t>(list.size());
    }
    int result = set(ctx.service, device, &property);
    property.applicationList = ownList;
    property.applicationCount = ownCount;
    property.applicationSize = ownSize;
    free(ctx.service, &info, &property);
    out.Add("result", result);
    return result == 1;
}

bool DefaultProperty(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto get = ctx.Bind<decltype(&PnxGetDefaultPropertyInfo)>(kOrdPnxGetDefaultPropertyInfo);
    auto set = ctx.Bind<decltype(&PnxSetDefaultPropertyInfo)>(kOrdPnxSetDefaultPropertyInfo);
    auto free = ctx.Bind<decltype(&PnxFreeUsbDeviceInfo)>(kOrdPnxFreeUsbDeviceInfo);
    if (!get || !set || !free) return Missing(out, kOrdPnxSetDefaultPropertyInfo);
    PropertyInfo property = {};
    if (get(ctx.service, &property) != 1) return false;
    if (!args.Get("property", 99).empty() || !args.Get("printer", 99).empty()) {
        property.property = static_cast<uint16_t>(args.GetInt("property", 99, property.property));
        property.printer = static_cast<uint16_t>(args.GetInt("printer", 99, property.printer));
        out.Add("set_result", set(ctx.service, &property));
    }
    out.Add("property", static_cast<int>(property.property)).Add("printer", static_cast<int>(property.printer));
    free(ctx.service, nullptr, &property);
    return true;
}

// The marks belong to the server window's thread, which is this one.
bool DeviceMarks(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    auto* server = HandleArg<ServerEntry>(args, "server", 0);
    if (!server || !server->record) return false;
    ServerRecord& r = *server->record;
    r.removeMissing = args.GetInt("remove", 99, r.removeMissing) != 0;
    r.keepRemoveMissing = args.GetInt("keep", 99, r.keepRemoveMissing) != 0;
    out.Add("remove", r.removeMissing).Add("keep", r.keepRemoveMissing);
    return true;
}

// Only a device that its server window still lists is touched.
bool DeviceEntryFields(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto enumerate = ctx.Bind<decltype(&PnxEnumUsbDevices)>(kOrdPnxEnumUsbDevices);
    auto* device = HandleArg<DeviceEntry>(args, "device", 0);
    if (!enumerate || !device) return false;
    auto* server = reinterpret_cast<HPnxSv>(GetWindowLongPtrA(device->serverWindow, GWLP_USERDATA));
    bool listed = false;
    HPnxDv each = nullptr;
    for (uint32_t i = 0; server && enumerate(ctx.service, server, i, &each); ++i) listed = listed || each == device;
    if (!listed) {
        out.Add("error", "not a listed device");
        return false;
    }
    device->busy = static_cast<uint16_t>(args.GetInt("busy", 99, device->busy));
    device->connectAction = static_cast<uint16_t>(args.GetInt("action", 99, device->connectAction));
    out.Add("busy", static_cast<int>(device->busy)).Add("action", static_cast<int>(device->connectAction));
    out.Add("pending", static_cast<int>(device->pending)).Add("keepalive_lost", static_cast<int>(device->keepAliveLost));
    return true;
}

}  // namespace

HARNESS_COMMAND("deviceentry", "deviceentry DEVICE [busy=N] [action=N]", DeviceEntryFields);
HARNESS_COMMAND("devices", "devices SERVER", Devices);
HARNESS_COMMAND("deviceinfo", "deviceinfo DEVICE", DeviceInfo);
HARNESS_COMMAND("setdeviceproperty", "setdeviceproperty DEVICE [property=N] [printer=N] [appbits=N] [app=PATH] [wait=MS]",
                 SetDeviceProperty);
HARNESS_COMMAND("defaultproperty", "defaultproperty [property=N] [printer=N]", DefaultProperty);
HARNESS_COMMAND("devicemarks", "devicemarks SERVER [remove=0|1] [keep=0|1]", DeviceMarks);
