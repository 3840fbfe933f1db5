// Harness commands for network storage:
//   storage SERVER                 the server's storage entries (PnxEnumNasDevices +
//                                  PnxGetNasInfo) -> "storage": [{entry, name, text, vid, pid,
//                                  label, share, value1, value2, mounted, state, flag, type}]
//   nasconnect ENTRY | nasremove ENTRY   PnxNasConnectDrive / PnxNasSafeRemove, the client
//                                  window as requester
//   defaultnasname TEXT            PnxDefaultNasName
#include <windows.h>

#include <cstdlib>
#include <string>

#include "export_table.h"
#include "harness_commands.h"
#include "nas_info.h"
#include "pnxscapi.h"

namespace {

using harness::JsonString;
using harness::Missing;
using harness::Result;

template <typename T>
T* HandleArg(const harness::Args& args, const char* key, size_t index) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(std::strtoull(args.Get(key, index).c_str(), nullptr, 0)));
}

std::string Utf8(const wchar_t* text) {
    if (!text) return "";
    char out[2048] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out) - 1, nullptr, nullptr);
    return out;
}

bool Storage(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto enumerate = ctx.Bind<decltype(&PnxEnumNasDevices)>(kOrdPnxEnumNasDevices);
    auto get = ctx.Bind<decltype(&PnxGetNasInfo)>(kOrdPnxGetNasInfo);
    auto init = ctx.Bind<decltype(&PnxInitNasInfo)>(kOrdPnxInitNasInfo);
    auto release = ctx.Bind<decltype(&PnxFreeNasInfo)>(kOrdPnxFreeNasInfo);
    auto type = ctx.Bind<decltype(&PnxGetDeviceType)>(kOrdPnxGetDeviceType);
    if (!enumerate || !get || !init || !release || !type) return Missing(out, kOrdPnxEnumNasDevices);
    auto* server = HandleArg<ServerEntry>(args, "server", 0);
    std::string json = "[";
    HPnxDv entry = nullptr;
    for (uint32_t i = 0; enumerate(ctx.service, server, i, &entry); ++i) {
        NasInfo info;
        init(ctx.service, &info);
        if (!get(nullptr, entry, &info)) continue;
        if (i) json += ",";
        json += "{\"entry\":" + JsonString(harness::HexText(reinterpret_cast<uintptr_t>(entry))) +
                ",\"name\":" + JsonString(Utf8(info.name)) + ",\"text\":" + JsonString(Utf8(info.text)) +
                ",\"vid\":" + std::to_string(info.vid) + ",\"pid\":" + std::to_string(info.pid) +
                ",\"label\":" + JsonString(Utf8(info.label)) + ",\"share\":" + JsonString(Utf8(info.shareName)) +
                ",\"value1\":" + std::to_string(info.value1) + ",\"value2\":" + std::to_string(info.value2) +
                ",\"mounted\":" + std::to_string(info.mounted) + ",\"state\":" + std::to_string(info.state) +
                ",\"flag\":" + std::to_string(info.shareFlag) + ",\"type\":" + std::to_string(type(nullptr, entry)) + "}";
        release(ctx.service, &info);
    }
    out.AddRaw("storage", json + "]");
    return true;
}

bool NasRequest(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out, bool connect) {
    int ordinal = connect ? kOrdPnxNasConnectDrive : kOrdPnxNasSafeRemove;
    auto fn = ctx.Bind<decltype(&PnxNasConnectDrive)>(ordinal);
    if (!fn) return Missing(out, ordinal);
    return Result(out, fn(ctx.service, ctx.window, HandleArg<DeviceEntry>(args, "entry", 0)));
}

bool NasConnect(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    return NasRequest(ctx, args, out, true);
}

bool NasRemove(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    return NasRequest(ctx, args, out, false);
}

bool DefaultNasName(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxDefaultNasName)>(kOrdPnxDefaultNasName);
    if (!fn) return Missing(out, kOrdPnxDefaultNasName);
    std::string text = args.Get("name", 0);
    wchar_t wide[256] = {};
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide, 255);
    return Result(out, fn(nullptr, wide));
}

}  // namespace

HARNESS_COMMAND("storage", "storage SERVER", Storage);
HARNESS_COMMAND("nasconnect", "nasconnect ENTRY", NasConnect);
HARNESS_COMMAND("nasremove", "nasremove ENTRY", NasRemove);
HARNESS_COMMAND("defaultnasname", "defaultnasname TEXT", DefaultNasName);
