// Harness commands that run the library's request/response exchanges directly (internal
// functions linked from the library's objects, not exports):
//   exchange ADDRESS PORT COMMAND [prefix=HEX12] [params=HEX]
//       command exchange; COMMAND is a row index or a command text (quote texts with blanks);
//       -> "answer" (-1, 0, 1, 2) and "ms" taken
//   request ADDRESS COMMAND [CAPACITY] [PORT]
//       blocking request (capacity 65536, port 19540 by default) -> "length", "hex", "ms"
//   monitor ADDRESS PORT [KIND] [timeout=MS]
//       a "SYSTEM" monitor channel sends KIND (list, ex, exii or storage) and waits for the
//       posted reply -> "message", "length", "hex", "title", "name" (or "error": "timeout")
//   rwptimeout MS      sets the time-out of one try (0: the default)
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "address_record.h"
#include "harness_commands.h"
#include "messages.h"
#include "monitor_channel.h"
#include "rwp_commands.h"
#include "rwp_exchange.h"

namespace {

constexpr uint16_t kDefaultRequestPort = 19540;
constexpr size_t kDefaultCapacity = 65536;
constexpr DWORD kDefaultMonitorWaitMs = 10000;
constexpr size_t kMonitorReassemblySize = 65536;
const char* const kMonitorOwnerClass = "QZ.HARNESS.MONITOR.OWNER";

std::string Hex(const uint8_t* data, size_t length) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        unsigned long value = strtoul(pair, &end, 16);
        if (end != pair + 2) {
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return true;
}

// Network byte order address of dotted text; false for anything else.
bool ParseIpv4(const std::string& text, uint32_t& netAddress) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char tail = 0;
    if (sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255) {
        return false;
    }
    netAddress = htonl((a << 24) | (b << 16) | (c << 8) | d);
    return true;
}

// A row index given as a number, or the row whose text equals the word.
int CommandIndex(const std::string& word) {
    char* end = nullptr;
    long number = strtol(word.c_str(), &end, 10);
    if (!word.empty() && *end == 0) {
        return RwpCommandText(static_cast<int>(number)) ? static_cast<int>(number) : -1;
    }
    for (size_t i = 0; i < RwpCommandCount(); ++i) {
        if (word == RwpCommandText(static_cast<int>(i))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Sockets for the functions called from here: the library's own start-up belongs to the DLL's
// copy of the code, not to the copy linked into the harness.
void StartSockets() {
    static bool started = false;
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
}

bool Fail(harness::JsonLine& out, const char* error) {
    out.Add("error", error);
    return false;
}

bool Exchange(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    uint32_t address = 0;
    if (!ParseIpv4(args.Get("address", 0), address)) {
        return Fail(out, "bad address");
    }
    int port = static_cast<int>(args.GetInt("port", 1, -1));
    int index = CommandIndex(args.Get("command", 2));
    if (port <= 0 || port > 0xFFFF || index < 0) {
        return Fail(out, "bad port or command");
    }
    std::vector<uint8_t> prefix, params;
    if (!ParseHex(args.Get("prefix", 99), prefix) || !ParseHex(args.Get("params", 99), params) ||
        (!prefix.empty() && prefix.size() != kRwpPrefixSize)) {
        return Fail(out, "bad prefix or params");
    }
    StartSockets();
    DWORD start = GetTickCount();
    int answer = RwpCommandExchange(AddressRecord::Ipv4Net(address, static_cast<uint16_t>(port)),
                                    index, prefix.empty() ? nullptr : prefix.data(),
                                    params.data(), params.size());
    out.Add("answer", answer).Add("ms", static_cast<int64_t>(GetTickCount() - start));
    return true;
}

bool Request(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    uint32_t address = 0;
    if (!ParseIpv4(args.Get("address", 0), address)) {
        return Fail(out, "bad address");
    }
    std::string command = args.Get("command", 1);
    int64_t capacity = args.GetInt("capacity", 2, kDefaultCapacity);
    int64_t port = args.GetInt("port", 3, kDefaultRequestPort);
    if (capacity < 0 || capacity > (1 << 24) || port <= 0 || port > 0xFFFF) {
        return Fail(out, "bad capacity or port");
    }
    StartSockets();
    std::vector<uint8_t> reply(static_cast<size_t>(capacity) + 1);
    DWORD start = GetTickCount();
    int length = RwpBlockingRequest(address, command.c_str(), reply.data(),
                                    static_cast<size_t>(capacity), static_cast<uint16_t>(port));
    out.Add("length", length).Add("ms", static_cast<int64_t>(GetTickCount() - start));
    out.Add("hex", length > 0 ? Hex(reply.data(), static_cast<size_t>(length)) : "");
    return true;
}

// The monitor channel's owner: records the first reply message posted to it.
struct MonitorCatch {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

LRESULT CALLBACK MonitorOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PNXM_MONITOR_SYSTEM || message == PNXM_MONITOR_DEVICE_LIST ||
        message == PNXM_MONITOR_STORAGE_LIST || message == PNXM_MONITOR_DEVICE_LIST_EX ||
        message == PNXM_MONITOR_DEVICE_LIST_EX_II) {
        auto* caught = reinterpret_cast<MonitorCatch*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (caught && caught->message == 0) {
            *caught = {message, wParam, lParam};
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMonitorOwner(MonitorCatch* caught) {
    static bool registered = false;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = MonitorOwnerProc;
        wc.hInstance = instance;
        wc.lpszClassName = kMonitorOwnerClass;
        registered = RegisterClassA(&wc) != 0;
        RegisterMonitorWindowClass(instance, kMonitorReassemblySize);
    }
    HWND owner = CreateWindowA(kMonitorOwnerClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                               nullptr, instance, nullptr);
    if (owner) {
        SetWindowLongPtrA(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(caught));
    }
    return owner;
}

// Pumps only the channel's and the owner's messages, so that commands queued for the harness
// window meanwhile wait their turn.
bool WaitForReply(HWND channel, HWND owner, const MonitorCatch& caught, DWORD waitMs) {
    DWORD start = GetTickCount();
    while (caught.message == 0 && GetTickCount() - start < waitMs) {
        MSG msg;
        bool any = false;
        for (HWND window : {channel, owner}) {
            while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&msg);
                any = true;
            }
        }
        if (!any) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return caught.message != 0;
}

int SendKind(HWND channel, const std::string& kind) {
    if (kind == "storage") {
        return MonitorSendStorageList(channel);
    }
    DeviceListKind list = kind == "ex" ? DeviceListKind::Ex
                          : kind == "exii" ? DeviceListKind::ExII : DeviceListKind::Basic;
    return MonitorSendDeviceList(channel, list);
}

void ReportReply(HWND channel, const MonitorCatch& caught, harness::JsonLine& out) {
    size_t length = MonitorReceivedLength(channel);
    char title[256] = {};
    GetWindowTextA(channel, title, sizeof(title));
    out.Add("message", static_cast<unsigned>(caught.message));
    out.Add("length", static_cast<uint64_t>(length));
    out.Add("hex", caught.lParam ? Hex(reinterpret_cast<const uint8_t*>(caught.lParam), length)
                                 : "");
    out.Add("title", title).Add("name", MonitorChannelName(channel));
}

bool Monitor(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    uint32_t address = 0;
    int64_t port = args.GetInt("port", 1, -1);
    std::string kind = args.Get("kind", 2, "list");
    if (!ParseIpv4(args.Get("address", 0), address) || port <= 0 || port > 0xFFFF) {
        return Fail(out, "bad address or port");
    }
    StartSockets();
    MonitorCatch caught;
    HWND owner = CreateMonitorOwner(&caught);
    HWND channel = owner ? CreateMonitorChannel(
                               owner, AddressRecord::Ipv4Net(address, static_cast<uint16_t>(port)),
                               "SYSTEM", SW_HIDE)
                         : nullptr;
    bool ok = false;
    if (!channel) {
        Fail(out, "no channel");
    } else if (!SendKind(channel, kind)) {
        Fail(out, "send failed");
    } else if (!WaitForReply(channel, owner, caught,
                             static_cast<DWORD>(args.GetInt("timeout", 99, kDefaultMonitorWaitMs)))) {
        Fail(out, "timeout");
    } else {
        ReportReply(channel, caught, out);
        ok = true;
    }
    if (channel) {
        CloseMonitorChannel(channel);
    }
    if (owner) {
        DestroyWindow(owner);
    }
    return ok;
}

bool RwpTimeoutCommand(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    int64_t ms = args.GetInt("ms", 0, 0);
    if (ms < 0) {
        return Fail(out, "bad time-out");
    }
    SetRwpTimeout(static_cast<uint32_t>(ms));
    out.Add("timeout", static_cast<uint64_t>(RwpTimeout()));
    return true;
}

}  // namespace

HARNESS_COMMAND("exchange", "exchange ADDRESS PORT COMMAND [prefix=HEX] [params=HEX]", Exchange);
HARNESS_COMMAND("request", "request ADDRESS COMMAND [CAPACITY] [PORT]", Request);
HARNESS_COMMAND("monitor", "monitor ADDRESS PORT [list|ex|exii|storage] [timeout=MS]", Monitor);
HARNESS_COMMAND("rwptimeout", "rwptimeout MS", RwpTimeoutCommand);
