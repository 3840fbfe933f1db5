// The frame commands of the harness: registration, debug mode, the service window's children,
// unregistration, uninitialisation, the driver version and quitting.
//   register [location=TEXT] [options=N] [size=N] [driver=NAME] [config=0]
//       PnxRegisterNotification with the client window -> "service"
//   debugmode [flags=N] [folder=PATH]           PnxDebugMode -> "result"
//   children                                    the service window's children -> "children":
//       [{"id","class","x","y","width","height","columns":[...],"widths":[...]}]
//   unregister [service=HANDLE]                 PnxUnRegisterNotification -> "result"
//   initialize / uninitialize                   PnxInitialize / PnxUninitialize -> "result"
//   driverversion [name=NAME]                   PnxGetZkuptpDriverVersion -> "result",
//                                               "name", "version" ("a.b.c.d")
//   special [options=N]                         PnxRegisterSpecialNotification -> "result"
//   answer N                                    the result the window gives connect phases
//   unload                                      FreeLibrary of the library; later commands
//                                               that need an export fail as "export missing"
//   quit                                        ends the harness (exit code 0)
#include "harness_frame.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "harness_registry.h"
#include "export_table.h"
#include "pnxscapi.h"

namespace harness {

namespace {
// Ordinals of the exports the frame binds.

LRESULT g_connectAnswer = 1;

const char* MessageName(UINT message) {
    switch (message) {
    case PNXN_SERVER: return "PNXN_SERVER";
    case PNXN_DEVICE: return "PNXN_DEVICE";
    case PNXN_NAS: return "PNXN_NAS";
    case PNXN_NETWORK: return "PNXN_NETWORK";
    case PNXN_APPLICATION: return "PNXN_APPLICATION";
    case PNXN_CONNECT: return "PNXN_CONNECT";
    case PNXN_DISCONNECT: return "PNXN_DISCONNECT";
    case PNXN_COMPLETE: return "PNXN_COMPLETE";
    case PNXN_NAS_CONNECT: return "PNXN_NAS_CONNECT";
    case PNXN_NAS_REMOVE: return "PNXN_NAS_REMOVE";
    default: return "PNXN_UNKNOWN";
    }
}

bool IsConnectFamily(UINT message) {
    return message == PNXN_CONNECT || message == PNXN_DISCONNECT || message == PNXN_NAS_CONNECT ||
           message == PNXN_NAS_REMOVE;
}

std::string DeviceListJson(const AutoDeviceList* list) {
    std::string json = "[";
    for (uint32_t i = 0; list->items && i < list->count; ++i) {
        if (i) json += ",";
        json += "{\"device\":" + JsonString(HexText(list->items[i].device)) +
                ",\"type\":" + std::to_string(list->items[i].type) + "}";
    }
    return json + "]";
}

HWND ServiceArg(const Context& ctx, const Args& args) {
    std::string text = args.Get("service", 99);
    if (text.empty()) return ctx.service;
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 0)));
}

bool Register(Context& ctx, const Args& args, JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxRegisterNotification)>(kOrdPnxRegisterNotification);
    if (!fn) return Missing(out, kOrdPnxRegisterNotification);
    RegisterConfig config = {};
    std::string driver = args.Get("driver", 99);
    std::string location = args.Get("location", 0);
    std::strncpy(config.driver, driver.c_str(), sizeof config.driver - 1);
    std::strncpy(config.location, location.c_str(), sizeof config.location - 1);
    config.size = static_cast<uint32_t>(args.GetInt("size", 99, sizeof(RegisterConfig)));
    config.options = static_cast<uint32_t>(args.GetInt("options", 99, 0));
    bool withConfig = args.GetInt("config", 99, 1) != 0;
    HWND service = fn(ctx.window, withConfig ? &config : nullptr);
    if (service) ctx.service = service;
    out.Add("service", HexText(reinterpret_cast<uintptr_t>(service)));
    out.Add("client", HexText(reinterpret_cast<uintptr_t>(ctx.window)));
    return service != nullptr;
}

bool DebugMode(Context& ctx, const Args& args, JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxDebugMode)>(kOrdPnxDebugMode);
    if (!fn) return Missing(out, kOrdPnxDebugMode);
    DebugModeInfo info = {};
    info.flags = static_cast<uint16_t>(args.GetInt("flags", 0, 0));
    std::string folder = args.Get("folder", 1);
    std::strncpy(info.folder, folder.c_str(), sizeof info.folder - 1);
    int result = fn(ServiceArg(ctx, args), &info);
    out.Add("result", result);
    return result == 1;
}

std::string ChildJson(HWND child, HWND parent) {
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    std::vector<std::string> titles;
    std::string widths = "[";
    if (_stricmp(className, WC_LISTVIEWA) == 0) {
        for (int i = 0;; ++i) {
            char title[128] = {};
            LVCOLUMNA column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = title;
            column.cchTextMax = sizeof title;
            if (!SendMessageA(child, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column))) break;
            titles.push_back(title);
            if (i) widths += ",";
            widths += std::to_string(column.cx);
        }
    }
    widths += "]";
    char head[160];
    std::snprintf(head, sizeof head, "{\"id\":%d,\"class\":%s,\"x\":%ld,\"y\":%ld,\"width\":%ld,\"height\":%ld,",
                  GetDlgCtrlID(child), JsonString(className).c_str(), rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top);
    return std::string(head) + "\"columns\":" + JsonStringArray(titles) + ",\"widths\":" + widths + "}";
}

bool Children(Context& ctx, const Args& args, JsonLine& out) {
    HWND service = ServiceArg(ctx, args);
    if (!service || !IsWindow(service)) {
        out.Add("error", "no service window");
        return false;
    }
    char className[64] = {};
    char title[64] = {};
    GetClassNameA(service, className, sizeof className);
    GetWindowTextA(service, title, sizeof title);
    std::string json = "[";
    int count = 0;
    for (HWND child = GetWindow(service, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (count++) json += ",";
        json += ChildJson(child, service);
    }
    json += "]";
    out.Add("class", className).Add("title", title).Add("visible", IsWindowVisible(service) != FALSE);
    out.Add("owner", HexText(reinterpret_cast<uintptr_t>(GetWindow(service, GW_OWNER))));
    out.AddRaw("children", json);
    return true;
}

bool Unregister(Context& ctx, const Args& args, JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxUnRegisterNotification)>(kOrdPnxUnRegisterNotification);
    if (!fn) return Missing(out, kOrdPnxUnRegisterNotification);
    int result = fn(ServiceArg(ctx, args));
    out.Add("result", result);
    return result == 1;
}

bool Initialize(Context& ctx, const Args&, JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxInitialize)>(kOrdPnxInitialize);
    if (!fn) return Missing(out, kOrdPnxInitialize);
    int result = fn();
    out.Add("result", result);
    return result == 1;
}

bool Uninitialize(Context& ctx, const Args&, JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxUninitialize)>(kOrdPnxUninitialize);
    if (!fn) return Missing(out, kOrdPnxUninitialize);
    int result = fn();
    out.Add("result", result);
    return result == 1;
}

bool DriverVersion(Context& ctx, const Args& args, JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxGetZkuptpDriverVersion)>(kOrdPnxGetZkuptpDriverVersion);
    if (!fn) return Missing(out, kOrdPnxGetZkuptpDriverVersion);
    DriverVersionInfo info = {};
    std::string name = args.Get("name", 0);
    std::strncpy(info.name, name.c_str(), sizeof info.name - 1);
    info.size = sizeof info;
    int result = fn(ctx.service, &info);
    char version[48];
    std::snprintf(version, sizeof version, "%u.%u.%u.%u", info.major, info.minor, info.build, info.revision);
    out.Add("result", result).Add("name", std::string(info.name, strnlen(info.name, sizeof info.name)));
    out.Add("version", version);
    return result == 1;
}

bool Special(Context& ctx, const Args& args, JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxRegisterSpecialNotification)>(kOrdPnxRegisterSpecialNotification);
    if (!fn) return Missing(out, kOrdPnxRegisterSpecialNotification);
    int result = fn(ctx.service, static_cast<uint32_t>(args.GetInt("options", 0, 0)));
    out.Add("result", result);
    return result == 1;
}

bool Answer(Context&, const Args& args, JsonLine& out) {
    g_connectAnswer = static_cast<LRESULT>(args.GetInt("value", 0, 1));
    out.Add("answer", static_cast<int64_t>(g_connectAnswer));
    return true;
}

bool Unload(Context& ctx, const Args&, JsonLine& out) {
    if (!ctx.library) return false;
    out.Add("result", FreeLibrary(ctx.library) ? 1 : 0);
    ctx.library = nullptr;
    ctx.service = nullptr;
    return true;
}

bool Quit(Context& ctx, const Args&, JsonLine&) {
    // The result line goes out before the window is gone.
    PostMessageA(ctx.window, WM_CLOSE, 0, 0);
    return true;
}

bool Help(Context&, const Args&, JsonLine& out);
}  // namespace

LRESULT ReportNotification(UINT message, WPARAM wParam, LPARAM lParam) {
    JsonLine line("notify");
    line.Add("msg", MessageName(message)).Add("num", static_cast<int64_t>(message));
    LRESULT answer = 0;
    if (IsConnectFamily(message)) {
        answer = g_connectAnswer;
        if (auto* event = reinterpret_cast<const ConnectEvent*>(wParam)) {
            line.Add("phase", event->phase).Add("result", event->result).Add("action", event->action);
            line.Add("buffer", HexText(event->buffer)).Add("size", event->size);
        }
        line.Add("device", HexText(static_cast<uint64_t>(lParam))).Add("answer", static_cast<int64_t>(answer));
        Emit(line);
        RunPhaseHook(reinterpret_cast<const ConnectEvent*>(wParam));
        return answer;
    } else if (message == PNXN_COMPLETE) {
        line.Add("wparam", static_cast<uint64_t>(wParam)).Add("lparam", HexText(static_cast<uint64_t>(lParam)));
    } else {
        auto* event = reinterpret_cast<const NotifyEvent*>(wParam);
        if (event) line.Add("kind", event->kind).Add("flags", event->flags);
        line.Add("lparam", HexText(static_cast<uint64_t>(lParam)));
        if (event && message == PNXN_DEVICE && (event->kind == PNXET_CONNECT || event->kind == PNXET_DISCONNECT) &&
            lParam) {
            line.AddRaw("devices", DeviceListJson(reinterpret_cast<const AutoDeviceList*>(lParam)));
        }
    }
    Emit(line);
    return answer;
}

void RequestQuit(Context& ctx) { PostMessageA(ctx.window, WM_CLOSE, 0, 0); }

namespace {
bool Help(Context&, const Args&, JsonLine& out) {
    std::vector<std::string> usages;
    for (const auto& [name, entry] : Commands()) usages.push_back(entry.usage.empty() ? name : entry.usage);
    out.AddRaw("commands", JsonStringArray(usages));
    return true;
}
}  // namespace

}  // namespace harness

HARNESS_COMMAND("register", "register [location=TEXT] [options=N] [size=N] [driver=NAME] [config=0]", harness::Register);
HARNESS_COMMAND("debugmode", "debugmode [flags=N] [folder=PATH]", harness::DebugMode);
HARNESS_COMMAND("children", "children [service=HANDLE]", harness::Children);
HARNESS_COMMAND("unregister", "unregister [service=HANDLE]", harness::Unregister);
HARNESS_COMMAND("initialize", "initialize", harness::Initialize);
HARNESS_COMMAND("uninitialize", "uninitialize", harness::Uninitialize);
HARNESS_COMMAND("driverversion", "driverversion [name=NAME]", harness::DriverVersion);
HARNESS_COMMAND("special", "special [options=N]", harness::Special);
HARNESS_COMMAND("answer", "answer N", harness::Answer);
HARNESS_COMMAND("unload", "unload", harness::Unload);
HARNESS_COMMAND("quit", "quit", harness::Quit);
HARNESS_COMMAND("help", "help", harness::Help);
