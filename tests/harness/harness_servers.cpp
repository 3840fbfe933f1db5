// Harness commands for the server list and the search filters, bound by ordinal:
//   enumservers                                 PnxEnumServers from index 0 -> "handles"
//   serverinfo SERVER                           PnxGetServerInfo -> every ServerInfo field (below)
//   servers                                     enumservers + serverinfo of each -> "servers": [...]
//   setserveroption SERVER VALUE                PnxSetServerOption
//   serverparam SERVER [value=N]                PnxSetServerParam when value is given, then
//                                               PnxGetServerParam -> "value"
//   setfilter KIND ENTRY... [null=1]            PnxSetSearchFilter with the entries as a list
//   setfilterex KIND [ENTRY...]                 PnxSetSearchFilterEx; no entry passes no list
//   filterrefresh                               PnxSetSearchFilterRefresh
//   detected [count=N]                          PnxDetectedServer: the count query, then the
//                                               array with that count (or N) -> "count", "servers"
// A ServerInfo prints as {"handle","ip","mac","host","model","level","firmware","extra" (hex of
// extra_length bytes),"extra_length","extra_kind","function","function_prev","status",
// "status_prev","option","option_prev","terminated"}; "terminated" says that every text field
// held its zero byte (the record is filled with 0xFF before the call).
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "harness_addresses.h"
#include "harness_commands.h"
#include "export_table.h"
#include "pnxscapi.h"
#include "server_entry.h"

namespace {

using harness::Missing;
using harness::Result;


HPnxSv ServerArg(const harness::Args& args) {
    return reinterpret_cast<HPnxSv>(static_cast<uintptr_t>(std::strtoull(args.Get("server", 0).c_str(), nullptr, 0)));
}

template <size_t N>
std::string Text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

template <size_t N>
bool Terminated(const char (&field)[N]) {
    return strnlen(field, N) < N;
}

std::string Hex(const uint8_t* data, size_t length) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

std::string InfoJson(HPnxSv server, const ServerInfo& info) {
    harness::JsonLine json("server");
    json.Add("handle", harness::HexText(reinterpret_cast<uintptr_t>(server)));
    json.Add("ip", harness::DottedNetworkText(info.ipAddress)).Add("mac", harness::HardwareText(info.hardwareAddress));
    json.Add("host", Text(info.hostName)).Add("model", Text(info.modelName));
    json.Add("level", static_cast<int>(info.rwpLevel)).Add("firmware", Text(info.firmwareVersion));
    size_t extra = info.extraDataLength < sizeof info.extraData ? info.extraDataLength : sizeof info.extraData;
    json.Add("extra", Hex(info.extraData, extra)).Add("extra_length", static_cast<int64_t>(info.extraDataLength));
    json.Add("extra_kind", static_cast<int>(info.extraDataKind));
    json.Add("function", static_cast<int>(info.functionWord)).Add("function_prev", static_cast<int>(info.functionWordPrevious));
    json.Add("status", static_cast<int>(info.statusWord)).Add("status_prev", static_cast<int>(info.statusWordPrevious));
    json.Add("option", static_cast<int>(info.optionWord)).Add("option_prev", static_cast<int>(info.optionWordPrevious));
    json.Add("terminated", Terminated(info.hostName) && Terminated(info.modelName) && Terminated(info.firmwareVersion));
    return json.Text();
}

// PnxGetServerInfo into a record that starts as 0xFF bytes, so unterminated texts show.
int GetInfo(harness::Context& ctx, HPnxSv server, ServerInfo* info) {
    auto fn = ctx.Bind<decltype(&PnxGetServerInfo)>(kOrdPnxGetServerInfo);
    std::memset(info, 0xFF, sizeof *info);
    return fn ? fn(ctx.service, server, info) : 0;
}

std::vector<HPnxSv> Enumerate(harness::Context& ctx) {
    std::vector<HPnxSv> servers;
    auto fn = ctx.Bind<decltype(&PnxEnumServers)>(kOrdPnxEnumServers);
    HPnxSv server = nullptr;
    for (int index = 0; fn && fn(ctx.service, index, &server) == 1; ++index) servers.push_back(server);
    return servers;
}

bool EnumServers(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    if (!ctx.Bind<decltype(&PnxEnumServers)>(kOrdPnxEnumServers)) return Missing(out, kOrdPnxEnumServers);
    std::vector<std::string> handles;
    for (HPnxSv server : Enumerate(ctx)) handles.push_back(harness::HexText(reinterpret_cast<uintptr_t>(server)));
    out.AddRaw("handles", harness::JsonStringArray(handles));
    return true;
}

bool GetServerInfo(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    if (!ctx.Bind<decltype(&PnxGetServerInfo)>(kOrdPnxGetServerInfo)) return Missing(out, kOrdPnxGetServerInfo);
    HPnxSv server = ServerArg(args);
    ServerInfo info;
    int result = GetInfo(ctx, server, &info);
    if (result == 1) out.AddRaw("info", InfoJson(server, info));
    return Result(out, result);
}

bool Servers(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    if (!ctx.Bind<decltype(&PnxEnumServers)>(kOrdPnxEnumServers)) return Missing(out, kOrdPnxEnumServers);
    if (!ctx.Bind<decltype(&PnxGetServerInfo)>(kOrdPnxGetServerInfo)) return Missing(out, kOrdPnxGetServerInfo);
    std::string json = "[";
    int count = 0;
    for (HPnxSv server : Enumerate(ctx)) {
        ServerInfo info;
        if (GetInfo(ctx, server, &info) != 1) continue;
        if (count++) json += ",";
        json += InfoJson(server, info);
    }
    out.Add("count", count).AddRaw("servers", json + "]");
    return true;
}

bool SetServerOption(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetServerOption)>(kOrdPnxSetServerOption);
    if (!fn) return Missing(out, kOrdPnxSetServerOption);
    return Result(out, fn(ctx.service, ServerArg(args), static_cast<uint16_t>(args.GetInt("value", 1))));
}

bool ServerParam(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto get = ctx.Bind<decltype(&PnxGetServerParam)>(kOrdPnxGetServerParam);
    auto set = ctx.Bind<decltype(&PnxSetServerParam)>(kOrdPnxSetServerParam);
    if (!get) return Missing(out, kOrdPnxGetServerParam);
    if (!set) return Missing(out, kOrdPnxSetServerParam);
    HPnxSv server = ServerArg(args);
    int result = 1;
    if (!args.Get("value", 99).empty()) {
        result = set(ctx.service, server, static_cast<uintptr_t>(std::strtoull(args.Get("value", 99).c_str(), nullptr, 0)));
    }
    out.Add("value", static_cast<uint64_t>(get(ctx.service, server)));
    return Result(out, result);
}

// The entries as the exports take them: each text with its zero byte, then an empty text.
std::string FilterList(const harness::Args& args) {
    std::string list;
    for (const std::string& entry : harness::Positional(args, 1)) {
        list += entry;
        list += '\0';
    }
    list += '\0';
    return list;
}

bool SetFilter(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetSearchFilter)>(kOrdPnxSetSearchFilter);
    if (!fn) return Missing(out, kOrdPnxSetSearchFilter);
    std::string list = FilterList(args);
    bool null = args.GetInt("null", 99, 0) != 0;
    return Result(out, fn(ctx.service, static_cast<int>(args.GetInt("kind", 0)), null ? nullptr : list.data()));
}

bool SetFilterEx(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetSearchFilterEx)>(kOrdPnxSetSearchFilterEx);
    if (!fn) return Missing(out, kOrdPnxSetSearchFilterEx);
    std::string list = FilterList(args);
    bool none = harness::Positional(args, 1).empty();
    return Result(out, fn(ctx.service, static_cast<int>(args.GetInt("kind", 0)), none ? nullptr : list.data()));
}

bool FilterRefresh(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetSearchFilterRefresh)>(kOrdPnxSetSearchFilterRefresh);
    if (!fn) return Missing(out, kOrdPnxSetSearchFilterRefresh);
    return Result(out, fn());
}

std::string DetectedJson(const DetectedServer& server) {
    harness::JsonLine json("detected");
    json.Add("ip", harness::DottedNetworkText(server.ipAddress)).Add("mac", harness::HardwareText(server.hardwareAddress));
    json.Add("host", Text(server.hostName)).Add("model", Text(server.modelName));
    return json.Text();
}

bool Detected(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxDetectedServer)>(kOrdPnxDetectedServer);
    if (!fn) return Missing(out, kOrdPnxDetectedServer);
    uint32_t count = 0;
    int result = fn(ctx.service, nullptr, &count);
    out.Add("query_count", static_cast<int64_t>(count));
    if (result != 1) return Result(out, result);
    if (!args.Get("count", 99).empty()) count = static_cast<uint32_t>(args.GetInt("count", 99));
    std::vector<DetectedServer> servers(count + 1);
    result = fn(ctx.service, servers.data(), &count);
    std::string json = "[";
    for (uint32_t i = 0; result == 1 && i < count; ++i) {
        if (i) json += ",";
        json += DetectedJson(servers[i]);
    }
    out.Add("count", static_cast<int64_t>(count)).AddRaw("servers", json + "]");
    return Result(out, result);
}

}  // namespace

HARNESS_COMMAND("enumservers", "enumservers", EnumServers);
HARNESS_COMMAND("serverinfo", "serverinfo SERVER", GetServerInfo);
HARNESS_COMMAND("servers", "servers", Servers);
HARNESS_COMMAND("setserveroption", "setserveroption SERVER VALUE", SetServerOption);
HARNESS_COMMAND("serverparam", "serverparam SERVER [value=N]", ServerParam);
HARNESS_COMMAND("setfilter", "setfilter KIND ENTRY... [null=1]", SetFilter);
HARNESS_COMMAND("setfilterex", "setfilterex KIND [ENTRY...]", SetFilterEx);
HARNESS_COMMAND("filterrefresh", "filterrefresh", FilterRefresh);
HARNESS_COMMAND("detected", "detected [count=N]", Detected);
