// Harness commands for the connect queue. The harness's client window is the requester of
// every request it queues, so each phase arrives as a "notify" line with the answer given.
//   connect DEVICE [wait=N] [action=N] [position=N]   PnxConnectUsbDevice (PnxConnectInterruption
//                                                      with a position)
//   disconnect DEVICE [action=N] [position=N]          PnxDisconnectUsbDevice / ...Interruption
//   connectstart STEP | connectstop | connectcancel    the steering calls
//   enumconnect                                        the queued requests -> "requests": [...]
//   instanceids DEVICE                                 PnxEnumDeviceInstanceId -> "ids": [...]
//   phasehook [phase=N] [stop=0|1] [start=STEP] [cancel=0|1] [renew=SERVER]
//                                                      what the window does inside the next
//                                                      event of that phase (0: none)
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "harness_commands.h"
#include "harness_frame.h"
#include "export_table.h"
#include "pnxscapi.h"

namespace {

using harness::Missing;
using harness::Result;


struct PhaseHook {
    int phase = 0;
    bool stop = false;
    int start = -1;
    bool cancel = false;
    uint64_t renewServer = 0;
};

PhaseHook g_hook;
harness::Context* g_ctx = nullptr;

uint64_t HandleArg(const harness::Args& args, const char* key, size_t index) {
    return std::strtoull(args.Get(key, index).c_str(), nullptr, 0);
}

bool Connect(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    g_ctx = &ctx;
    auto device = reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(HandleArg(args, "device", 0)));
    auto wait = static_cast<uint16_t>(args.GetInt("wait", 1, 1));
    auto action = static_cast<uint16_t>(args.GetInt("action", 2, 1));
    int result;
    if (!args.Get("position", 99).empty()) {
        auto fn = ctx.Bind<decltype(&PnxConnectInterruption)>(kOrdPnxConnectInterruption);
        if (!fn) return Missing(out, kOrdPnxConnectInterruption);
        result = fn(ctx.service, ctx.window, device, wait, action, static_cast<int>(args.GetInt("position", 99, 0)));
    } else {
        auto fn = ctx.Bind<decltype(&PnxConnectUsbDevice)>(kOrdPnxConnectUsbDevice);
        if (!fn) return Missing(out, kOrdPnxConnectUsbDevice);
        result = fn(ctx.service, ctx.window, device, wait, action, nullptr, 0);
    }
    return Result(out, result);
}

bool Disconnect(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    g_ctx = &ctx;
    auto device = reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(HandleArg(args, "device", 0)));
    auto action = static_cast<uint16_t>(args.GetInt("action", 1, 1));
    int result;
    if (!args.Get("position", 99).empty()) {
        auto fn = ctx.Bind<decltype(&PnxDisconnectInterruption)>(kOrdPnxDisconnectInterruption);
        if (!fn) return Missing(out, kOrdPnxDisconnectInterruption);
        result = fn(ctx.service, ctx.window, device, action, static_cast<int>(args.GetInt("position", 99, 0)));
    } else {
        auto fn = ctx.Bind<decltype(&PnxDisconnectUsbDevice)>(kOrdPnxDisconnectUsbDevice);
        if (!fn) return Missing(out, kOrdPnxDisconnectUsbDevice);
        result = fn(ctx.service, ctx.window, device, action);
    }
    return Result(out, result);
}

bool ConnectStart(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxConnectStart)>(kOrdPnxConnectStart);
    if (!fn) return Missing(out, kOrdPnxConnectStart);
    return Result(out, fn(ctx.service, static_cast<uint16_t>(args.GetInt("step", 0, 3))));
}

bool ConnectStop(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxConnectStop)>(kOrdPnxConnectStop);
    if (!fn) return Missing(out, kOrdPnxConnectStop);
    return Result(out, fn(ctx.service));
}

bool ConnectCancel(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxConnectCancel)>(kOrdPnxConnectCancel);
    if (!fn) return Missing(out, kOrdPnxConnectCancel);
    return Result(out, fn(ctx.service));
}

bool EnumConnect(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxEnumConnect)>(kOrdPnxEnumConnect);
    if (!fn) return Missing(out, kOrdPnxEnumConnect);
    std::string json = "[";
    ConnectEnumItem item = {};
    for (int i = 0; fn(ctx.service, i, &item); ++i) {
        if (i) json += ",";
        json += "{\"device\":" + harness::JsonString(harness::HexText(reinterpret_cast<uintptr_t>(item.device))) +
                ",\"message\":" + std::to_string(item.message) + ",\"action\":" + std::to_string(item.action) + "}";
    }
    out.AddRaw("requests", json + "]");
    return true;
}

bool InstanceIds(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxEnumDeviceInstanceId)>(kOrdPnxEnumDeviceInstanceId);
    if (!fn) return Missing(out, kOrdPnxEnumDeviceInstanceId);
    auto device = reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(HandleArg(args, "device", 0)));
    std::vector<std::string> ids;
    char id[512];
    for (uint32_t i = 0; i < 64 && fn(ctx.service, device, i, id, sizeof(id)); ++i) ids.push_back(id);
    out.AddRaw("ids", harness::JsonStringArray(ids));
    return true;
}

bool SetPhaseHook(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    g_ctx = &ctx;
    g_hook = PhaseHook{};
    g_hook.phase = static_cast<int>(args.GetInt("phase", 99, 0));
    g_hook.stop = args.GetInt("stop", 99, 0) != 0;
    g_hook.start = static_cast<int>(args.GetInt("start", 99, -1));
    g_hook.cancel = args.GetInt("cancel", 99, 0) != 0;
    g_hook.renewServer = HandleArg(args, "renew", 99);
    out.Add("phase", g_hook.phase);
    return true;
}

}  // namespace

namespace harness {

void RunPhaseHook(const ConnectEvent* event) {
    if (!g_ctx || !event || g_hook.phase == 0 || event->phase != g_hook.phase) return;
    PhaseHook hook = g_hook;
    g_hook = PhaseHook{};  // once
    JsonLine line("hook");
    line.Add("phase", hook.phase);
    if (hook.stop) {
        auto fn = g_ctx->Bind<decltype(&PnxConnectStop)>(kOrdPnxConnectStop);
        line.Add("stop", fn ? fn(g_ctx->service) : -1);
    }
    if (hook.cancel) {
        auto fn = g_ctx->Bind<decltype(&PnxConnectCancel)>(kOrdPnxConnectCancel);
        line.Add("cancel", fn ? fn(g_ctx->service) : -1);
    }
    if (hook.renewServer) {
        // Calls back into the library while it is sending: the mode 2 renew rebuilds the list.
        auto fn = g_ctx->Bind<decltype(&PnxRenewUsbDevices)>(kOrdPnxRenewUsbDevices);
        line.Add("renew", fn ? fn(g_ctx->service, reinterpret_cast<HPnxSv>(static_cast<uintptr_t>(hook.renewServer)), 2) : -1);
    }
    if (hook.start >= 0) {
        auto fn = g_ctx->Bind<decltype(&PnxConnectStart)>(kOrdPnxConnectStart);
        line.Add("start", fn ? fn(g_ctx->service, static_cast<uint16_t>(hook.start)) : -1);
    }
    Emit(line);
}

}  // namespace harness

HARNESS_COMMAND("connect", "connect DEVICE [wait=N] [action=N] [position=N]", Connect);
HARNESS_COMMAND("disconnect", "disconnect DEVICE [action=N] [position=N]", Disconnect);
HARNESS_COMMAND("connectstart", "connectstart STEP", ConnectStart);
HARNESS_COMMAND("connectstop", "connectstop", ConnectStop);
HARNESS_COMMAND("connectcancel", "connectcancel", ConnectCancel);
HARNESS_COMMAND("enumconnect", "enumconnect", EnumConnect);
HARNESS_COMMAND("instanceids", "instanceids DEVICE", InstanceIds);
HARNESS_COMMAND("phasehook", "phasehook [phase=N] [stop=0|1] [start=STEP] [cancel=0|1] [renew=SERVER]", SetPhaseHook);
