// Harness commands for the service-control and broadcast exports, bound by ordinal:
//   props                                       PnxGetServiceProperties -> "mode", "timer", "broad"
//   start [mode=N] [timer=MS] [broad=N] [null=1]
//                                               PnxStartService; fields not given keep the values
//                                               PnxGetServiceProperties reports; null=1 passes no record
//   resume [mode=N] [timer=MS] [broad=N] [null=1]   PnxResumeService, the same way
//   end                                         PnxEndService
//   suspend [keep=N]                            PnxSuspendService
//   renew [mode=N]                              PnxRenewService
//   renewdevices SERVER [mode=N]                PnxRenewUsbDevices (SERVER: a handle, 0x...)
//   portrule PORT RULE                          PnxSetPortAndRuleNumber
//   rdpport                                     PnxGetRdpPort -> "port"
//   setrdpport PORT                             PnxSetRdpPort
//   initbroadcast LOCATION                      PnxInitBroadcastAddr
//   getbroadcast [capacity=BYTES] [null=1]      PnxGetBroadcastAddr -> "count", "addresses"
//   setbroadcast A.B.C.D...                     PnxSetBroadcastAddr (no address: count 0)
//   setbroadcastmemory A.B.C.D... [null=1]      PnxSetBroadcastAddrMemory (network byte order)
// Every command adds "result", the export's return value; "ok" is result == 1.
#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "harness_addresses.h"
#include "harness_commands.h"
#include "export_table.h"
#include "pnxscapi.h"

namespace {

using harness::Missing;
using harness::Result;

constexpr uint32_t kPropertiesRecordSize = 10;  // what the utility writes into the size field
constexpr uint32_t kBroadcastListMax = 128;

bool Wants(const harness::Args& args, const char* key) { return !args.Get(key, 99).empty(); }

// The record Start and Resume pass: the library's current values, overridden by the words given.
bool PropertiesArg(harness::Context& ctx, const harness::Args& args, ServiceProperties* properties) {
    *properties = {};
    if (auto get = ctx.Bind<decltype(&PnxGetServiceProperties)>(kOrdPnxGetServiceProperties)) {
        get(ctx.service, properties);
    }
    if (Wants(args, "mode")) properties->communicateMode = static_cast<uint8_t>(args.GetInt("mode", 99));
    if (Wants(args, "timer")) properties->timer = static_cast<uint32_t>(args.GetInt("timer", 99));
    if (Wants(args, "broad")) properties->useBroadAddress = static_cast<uint8_t>(args.GetInt("broad", 99));
    properties->size = kPropertiesRecordSize;
    return args.GetInt("null", 99, 0) == 0;
}

void AddProperties(harness::JsonLine& out, const ServiceProperties& properties) {
    out.Add("mode", static_cast<int>(properties.communicateMode));
    out.Add("timer", static_cast<int64_t>(properties.timer));
    out.Add("broad", static_cast<int>(properties.useBroadAddress));
}

bool Props(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxGetServiceProperties)>(kOrdPnxGetServiceProperties);
    if (!fn) return Missing(out, kOrdPnxGetServiceProperties);
    ServiceProperties properties = {};
    int result = fn(ctx.service, &properties);
    AddProperties(out, properties);
    return Result(out, result);
}

bool Start(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxStartService)>(kOrdPnxStartService);
    if (!fn) return Missing(out, kOrdPnxStartService);
    ServiceProperties properties;
    bool withRecord = PropertiesArg(ctx, args, &properties);
    return Result(out, fn(ctx.service, withRecord ? &properties : nullptr));
}

bool Resume(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxResumeService)>(kOrdPnxResumeService);
    if (!fn) return Missing(out, kOrdPnxResumeService);
    ServiceProperties properties;
    bool withRecord = PropertiesArg(ctx, args, &properties);
    return Result(out, fn(ctx.service, withRecord ? &properties : nullptr));
}

bool End(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxEndService)>(kOrdPnxEndService);
    if (!fn) return Missing(out, kOrdPnxEndService);
    return Result(out, fn(ctx.service));
}

bool Suspend(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSuspendService)>(kOrdPnxSuspendService);
    if (!fn) return Missing(out, kOrdPnxSuspendService);
    return Result(out, fn(ctx.service, static_cast<int>(args.GetInt("keep", 0, 0))));
}

bool Renew(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxRenewService)>(kOrdPnxRenewService);
    if (!fn) return Missing(out, kOrdPnxRenewService);
    return Result(out, fn(ctx.service, static_cast<int>(args.GetInt("mode", 0, 0))));
}

bool RenewDevices(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxRenewUsbDevices)>(kOrdPnxRenewUsbDevices);
    if (!fn) return Missing(out, kOrdPnxRenewUsbDevices);
    auto server = reinterpret_cast<HPnxSv>(static_cast<uintptr_t>(std::strtoull(args.Get("server", 0).c_str(), nullptr, 0)));
    return Result(out, fn(ctx.service, server, static_cast<uint32_t>(args.GetInt("mode", 1, 0))));
}

bool PortRule(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetPortAndRuleNumber)>(kOrdPnxSetPortAndRuleNumber);
    if (!fn) return Missing(out, kOrdPnxSetPortAndRuleNumber);
    return Result(out, fn(ctx.service, static_cast<uint32_t>(args.GetInt("port", 0)),
                          static_cast<uint32_t>(args.GetInt("rule", 1))));
}

bool RdpPort(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxGetRdpPort)>(kOrdPnxGetRdpPort);
    if (!fn) return Missing(out, kOrdPnxGetRdpPort);
    uint32_t port = 0;
    int result = fn(ctx.service, &port);
    out.Add("port", static_cast<int64_t>(port));
    return Result(out, result);
}

bool SetRdpPort(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetRdpPort)>(kOrdPnxSetRdpPort);
    if (!fn) return Missing(out, kOrdPnxSetRdpPort);
    return Result(out, fn(ctx.service, static_cast<uint32_t>(args.GetInt("port", 0))));
}

bool InitBroadcast(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxInitBroadcastAddr)>(kOrdPnxInitBroadcastAddr);
    if (!fn) return Missing(out, kOrdPnxInitBroadcastAddr);
    return Result(out, fn(ctx.service, args.Get("location", 0).c_str()));
}

bool GetBroadcast(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxGetBroadcastAddr)>(kOrdPnxGetBroadcastAddr);
    if (!fn) return Missing(out, kOrdPnxGetBroadcastAddr);
    uint32_t capacity = static_cast<uint32_t>(args.GetInt("capacity", 99, kBroadcastListMax * 4));
    std::vector<uint32_t> array(capacity / 4 + 1, 0);
    uint32_t count = 0;
    bool null = args.GetInt("null", 99, 0) != 0;
    int result = fn(ctx.service, null ? nullptr : array.data(), capacity, &count);
    std::vector<std::string> texts;
    for (uint32_t i = 0; result == 1 && i < count && i < array.size(); ++i) texts.push_back(harness::DottedText(array[i]));
    out.Add("count", static_cast<int64_t>(count)).AddRaw("addresses", harness::JsonStringArray(texts));
    return Result(out, result);
}

// The positional dotted addresses of a command; false (with "error") for a word that is none.
bool AddressWords(const harness::Args& args, std::vector<uint32_t>* values, harness::JsonLine& out) {
    for (const std::string& word : harness::Positional(args, 0)) {
        uint32_t value = 0;
        if (!harness::ParseDotted(word, &value)) {
            out.Add("error", "not an address: " + word);
            return false;
        }
        values->push_back(value);
    }
    return true;
}

bool SetBroadcast(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetBroadcastAddr)>(kOrdPnxSetBroadcastAddr);
    if (!fn) return Missing(out, kOrdPnxSetBroadcastAddr);
    std::vector<uint32_t> values;
    if (!AddressWords(args, &values, out)) return false;
    values.reserve(1);  // a valid pointer even for an empty list
    return Result(out, fn(ctx.service, values.data(), static_cast<uint32_t>(values.size())));
}

bool SetBroadcastMemory(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetBroadcastAddrMemory)>(kOrdPnxSetBroadcastAddrMemory);
    if (!fn) return Missing(out, kOrdPnxSetBroadcastAddrMemory);
    std::vector<uint32_t> values;
    if (!AddressWords(args, &values, out)) return false;
    for (uint32_t& value : values) value = htonl(value);
    bool null = args.GetInt("null", 99, 0) != 0;
    values.reserve(1);
    return Result(out, fn(ctx.service, null ? nullptr : values.data(), static_cast<uint32_t>(values.size())));
}

}  // namespace

HARNESS_COMMAND("props", "props", Props);
HARNESS_COMMAND("start", "start [mode=N] [timer=MS] [broad=N] [null=1]", Start);
HARNESS_COMMAND("resume", "resume [mode=N] [timer=MS] [broad=N] [null=1]", Resume);
HARNESS_COMMAND("end", "end", End);
HARNESS_COMMAND("suspend", "suspend [keep=N]", Suspend);
HARNESS_COMMAND("renew", "renew [mode=N]", Renew);
HARNESS_COMMAND("renewdevices", "renewdevices SERVER [mode=N]", RenewDevices);
HARNESS_COMMAND("portrule", "portrule PORT RULE", PortRule);
HARNESS_COMMAND("rdpport", "rdpport", RdpPort);
HARNESS_COMMAND("setrdpport", "setrdpport PORT", SetRdpPort);
HARNESS_COMMAND("initbroadcast", "initbroadcast LOCATION", InitBroadcast);
HARNESS_COMMAND("getbroadcast", "getbroadcast [capacity=BYTES] [null=1]", GetBroadcast);
HARNESS_COMMAND("setbroadcast", "setbroadcast A.B.C.D...", SetBroadcast);
HARNESS_COMMAND("setbroadcastmemory", "setbroadcastmemory A.B.C.D... [null=1]", SetBroadcastMemory);
