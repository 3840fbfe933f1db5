// Harness commands for server sessions, keep-alive and blackout:
//   pcaddress SERVER [log=0]                  PnxGetPcAddress -> "address","mask","segment"
//   blackout [interval=MS] [limit=MS] [null=1] PnxSetBlackoutInfo when a value is given, then
//                                             PnxGetBlackoutInfo -> "interval","limit"
//   session SERVER                            the server's session as the library holds it:
//                                             "state","timer","count","channels","searched",
//                                             "window","keepalive_timer","blackout_watch"
//   adddevice SERVER [ports=A,B] [locations=L1,L2] [name=TEXT] [busy=N] [action=N]
//             [status=N] [user=A.B.C.D] [watch=1]
//                                             puts a device record into the server window's
//                                             device list, as the device-list code will, so
//                                             that keep-alive and blackout have devices to see
//                                             -> "device"
//   device DEVICE [busy=N] [status=N] [action=N] changes those fields, then reports the device:
//                                             "busy","status","action","keepalive_lost","pc_name"
//   othername SERVER DEVICE                   sends PNXM_OTHER_PC_NAME for the device
// Handles print and parse as "0x..." texts.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device_entry.h"
#include "harness_addresses.h"
#include "harness_commands.h"
#include "messages.h"
#include "export_table.h"
#include "pnxscapi.h"
#include "server_entry.h"

namespace {

using harness::Missing;
using harness::Result;


// The records of the devices put in by "adddevice": they live as long as the harness.
struct FakeDevice {
    DeviceEntry entry = {};
    UsbDeviceInfo info = {};
    std::string name, ports, locations;
};
std::vector<std::unique_ptr<FakeDevice>> g_devices;

template <typename T>
T* HandleArg(const harness::Args& args, const char* key, size_t index) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(std::strtoull(args.Get(key, index).c_str(), nullptr, 0)));
}

bool PcAddress(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxGetPcAddress)>(kOrdPnxGetPcAddress);
    if (!fn) return Missing(out, kOrdPnxGetPcAddress);
    uint32_t address = 0xFFFFFFFF, mask = 0xFFFFFFFF, segment = 0xFFFFFFFF;
    HWND log = args.GetInt("log", 99, 0) ? ctx.service : nullptr;
    int result = fn(log, HandleArg<ServerEntry>(args, "server", 0), &address, &mask, &segment);
    out.Add("result", result);
    out.Add("address", harness::DottedNetworkText(address)).Add("mask", harness::DottedNetworkText(mask));
    out.Add("segment", harness::DottedNetworkText(segment));
    return result == 1;
}

bool Blackout(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto get = ctx.Bind<decltype(&PnxGetBlackoutInfo)>(kOrdPnxGetBlackoutInfo);
    auto set = ctx.Bind<decltype(&PnxSetBlackoutInfo)>(kOrdPnxSetBlackoutInfo);
    if (!get) return Missing(out, kOrdPnxGetBlackoutInfo);
    if (!set) return Missing(out, kOrdPnxSetBlackoutInfo);
    BlackoutInfo info = {};
    if (get(ctx.service, &info) != 1) return false;
    bool null = args.GetInt("null", 99, 0) != 0;
    if (null || !args.Get("interval", 99).empty() || !args.Get("limit", 99).empty()) {
        info.interval = static_cast<uint32_t>(args.GetInt("interval", 99, info.interval));
        info.limit = static_cast<uint32_t>(args.GetInt("limit", 99, info.limit));
        int result = set(ctx.service, null ? nullptr : &info);
        out.Add("set_result", result);
        if (get(ctx.service, &info) != 1) return false;
    }
    out.Add("interval", static_cast<int64_t>(info.interval)).Add("limit", static_cast<int64_t>(info.limit));
    return true;
}

bool Session(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    auto* server = HandleArg<ServerEntry>(args, "server", 0);
    if (!server || !server->record) return false;
    const ServerRecord& r = *server->record;
    out.Add("state", static_cast<int>(r.analysisState)).Add("timer", static_cast<int>(r.timerKind));
    out.Add("count", static_cast<int>(r.timerCount)).Add("channels", r.channel1 != nullptr && r.channel2 != nullptr);
    out.Add("searched", r.searched).Add("window", server->serverWindow && IsWindow(server->serverWindow));
    out.Add("keepalive_timer", r.keepAliveTimer).Add("blackout_watch", r.blackoutWatch);
    out.Add("local", harness::DottedNetworkText(r.localAddress));
    return true;
}

bool AddDevice(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    auto* server = HandleArg<ServerEntry>(args, "server", 0);
    HWND list = server ? ServerDeviceList(server->serverWindow) : nullptr;
    if (!list) {
        out.Add("error", "no device list");
        return false;
    }
    auto device = std::make_unique<FakeDevice>();
    device->name = args.Get("name", 99, "Test Device");
    device->ports = args.Get("ports", 99, "");
    device->locations = args.Get("locations", 99, "");
    device->info.name = device->name.data();
    device->info.ports = device->ports.data();
    device->info.locations = device->locations.data();
    device->info.status = static_cast<uint16_t>(args.GetInt("status", 99, 1));
    uint32_t user = 0;
    if (harness::ParseDotted(args.Get("user", 99, "0.0.0.0"), &user)) device->info.userAddress = htonl(user);
    device->entry.serverWindow = server->serverWindow;
    device->entry.busy = static_cast<uint16_t>(args.GetInt("busy", 99, 0));
    device->entry.connectAction = static_cast<uint16_t>(args.GetInt("action", 99, 0));
    device->entry.blackoutWatch = static_cast<uint8_t>(args.GetInt("watch", 99, 0));
    device->entry.info = &device->info;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = device->name.data();
    item.lParam = reinterpret_cast<LPARAM>(&device->entry);
    if (SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) < 0) return false;
    out.Add("device", harness::HexText(reinterpret_cast<uintptr_t>(&device->entry)));
    g_devices.push_back(std::move(device));
    return true;
}

bool Device(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    auto* entry = HandleArg<DeviceEntry>(args, "device", 0);
    FakeDevice* device = nullptr;
    for (auto& d : g_devices) {
        if (&d->entry == entry) device = d.get();
    }
    if (!device) return false;
    DeviceEntry& e = device->entry;
    e.busy = static_cast<uint16_t>(args.GetInt("busy", 99, e.busy));
    e.connectAction = static_cast<uint16_t>(args.GetInt("action", 99, e.connectAction));
    device->info.status = static_cast<uint16_t>(args.GetInt("status", 99, device->info.status));
    out.Add("busy", static_cast<int>(e.busy)).Add("status", static_cast<int>(device->info.status));
    out.Add("action", static_cast<int>(e.connectAction)).Add("keepalive_lost", static_cast<int>(e.keepAliveLost));
    out.Add("pc_name", std::string(device->info.userPcName, strnlen(device->info.userPcName, kUserPcNameSize)));
    return true;
}

bool OtherName(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    auto* server = HandleArg<ServerEntry>(args, "server", 0);
    auto* device = HandleArg<DeviceEntry>(args, "device", 1);
    if (!server || !server->serverWindow) return false;
    out.Add("result", static_cast<int64_t>(SendMessageA(server->serverWindow, PNXM_OTHER_PC_NAME,
                                                        reinterpret_cast<WPARAM>(device), 0)));
    return true;
}

}  // namespace

HARNESS_COMMAND("pcaddress", "pcaddress SERVER [log=0]", PcAddress);
HARNESS_COMMAND("blackout", "blackout [interval=MS] [limit=MS] [null=1]", Blackout);
HARNESS_COMMAND("session", "session SERVER", Session);
HARNESS_COMMAND("adddevice", "adddevice SERVER [ports=A,B] [locations=L1,L2] [name=TEXT] [busy=N] [action=N] [status=N] [user=A.B.C.D] [watch=1]", AddDevice);
HARNESS_COMMAND("device", "device DEVICE [busy=N] [status=N] [action=N]", Device);
HARNESS_COMMAND("othername", "othername SERVER DEVICE", OtherName);
