#include "monitor_channel.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "text_util.h"
#include "messages.h"
#include "no_throw.h"
#include "rwp_commands.h"
#include "rwp_stream.h"
#include "udp_socket.h"

namespace {

constexpr int kChannelWidth = 320;
constexpr int kChannelHeight = 24;
constexpr int kResendLimit = 10;      // further sends when a request went out short
constexpr DWORD kResendDelay = 50;    // ms
constexpr size_t kPortNameSize = 128;
constexpr size_t kTitleLimit = 1024;  // characters of reply text shown as the title
constexpr size_t kParkedPerOwner = 2;  // a session holds two channels
// Posted by a channel window to itself when it is parked; see ParkedWindow.
constexpr UINT kParkedReadyMessage = WM_USER + 1;

HINSTANCE g_monitorInstance = nullptr;

// Owned by the channel window from WM_CREATE until WM_DESTROY; used on the GUI thread only.
struct MonitorChannel {
    HWND owner = nullptr;
    UdpSocket socket;
    CRwpStreamRecv stream;
    std::vector<uint8_t> reassembly;  // grows with the largest reply up to RwpReassemblySize()
    char portName[kPortNameSize] = {};
    uint8_t firstByte = 0;      // first byte of the last complete reply
    size_t textLength = 0;      // length of its text (the title)
    UINT armedMessage = PNXM_MONITOR_SYSTEM;  // the message the socket's read notice posts
    std::string title;          // the window's title as last set
    bool awaiting = false;      // a request is out and its reply not yet complete
};

// A closed channel's hidden window is kept for the owner's next channel: creating and destroying
// top-level windows is by far the costliest part of a session restart, and nothing outside this
// file sees the window. The socket goes with the record, as for a destroyed window. The window
// is taken again only once its own posted notice has come back: every reply and read notice of
// the closed channel was posted before it, so the owner has seen them off (and refused them)
// before the same window handle can stand for a new channel. A destroyed owner destroys the
// windows it owns, parked ones included. GUI thread only.
struct ParkedWindow {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string title;  // the window's title as last set
    bool ready = false;
};
std::vector<ParkedWindow> g_parked;

ParkedWindow* FindParked(HWND window) {
    for (ParkedWindow& parked : g_parked)
        if (parked.window == window) return &parked;
    return nullptr;
}

void ForgetParked(HWND window) {
    std::erase_if(g_parked, [window](const ParkedWindow& parked) { return parked.window == window; });
}

struct CreateContext {
    MonitorChannel* record;
    bool attached;
};

bool IsReplyMessage(UINT message) {
    return message == PNXM_MONITOR_SYSTEM || message == PNXM_MONITOR_DEVICE_LIST ||
           message == PNXM_MONITOR_STORAGE_LIST || message == PNXM_MONITOR_DEVICE_LIST_EX ||
           message == PNXM_MONITOR_DEVICE_LIST_EX_II;
}

MonitorChannel* RecordOf(HWND window) {
    return reinterpret_cast<MonitorChannel*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The record of a live channel window of this process; null for anything else, so a stale or
// foreign handle never makes us read another window's user data as a record.
MonitorChannel* LookupChannel(HWND window) {
    if (!window || !IsWindow(window)) return nullptr;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return nullptr;
    char className[64] = {};
    if (!GetClassNameA(window, className, sizeof(className)) ||
        lstrcmpA(className, kMonitorWindowClass) != 0)
        return nullptr;
    return RecordOf(window);
}

// The bytes of the last reply; never null, also before the first reply.
const uint8_t* ReplyData(const MonitorChannel& channel) {
    static const uint8_t kNoReply[1] = {};
    return channel.reassembly.empty() ? kNoReply : channel.reassembly.data();
}

// Text of the reply from byte `start` up to its first zero byte, never past the bytes received.
std::string ReplyText(const uint8_t* data, size_t length, size_t start, size_t limit) {
    std::string text;
    for (size_t i = start; i < length && text.size() < limit && data[i]; ++i)
        text.push_back(static_cast<char>(data[i]));
    return text;
}

void OnReplyComplete(HWND window, MonitorChannel& channel) {
    channel.awaiting = false;
    const uint8_t* data = ReplyData(channel);
    const size_t length = std::min(channel.stream.ReceivedLength(), channel.reassembly.size());
    channel.firstByte = length ? data[0] : 0;

    const UINT message = channel.armedMessage;
    std::string title;
    if (message == PNXM_MONITOR_SYSTEM) {
        title = ReplyText(data, length, 2, kTitleLimit);
    } else if (message == PNXM_MONITOR_STORAGE_LIST) {
        title = ReplyText(data, length, 1, kPortNameSize - 1);
        CopyCut(title, channel.portName, kPortNameSize);
    } else {
        title = ReplyText(data, length, 1, kTitleLimit);
    }
    channel.textLength = title.size();
    PostMessageA(channel.owner, message, reinterpret_cast<WPARAM>(window),
                 reinterpret_cast<LPARAM>(data));
    // The same list again leaves the title as it is (setting it is a window-server call).
    if (title != channel.title) {
        SetWindowTextA(window, title.c_str());
        channel.title = std::move(title);
    }
}

void OnReplyNotice(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MonitorChannel* channel = RecordOf(window);
    if (!channel && FindParked(window)) return;  // a notice of the closed channel
    if (!channel) {
        if (WSAGetLastError() == WSAEWOULDBLOCK) PostMessageA(window, message, wParam, lParam);
        return;
    }
    int received = channel->socket.Receive(channel->stream.ReceiveBuffer(),
                                           channel->stream.ReceiveCapacity());
    // A datagram with no request of ours outstanding (a late repeat of a finished reply) is
    // read and dropped, so a repeated end reply cannot post the same list twice.
    if (received <= 0 || !channel->awaiting) return;
    int result = channel->stream.ParseReply(channel->stream.ReceiveBuffer(),
                                            static_cast<size_t>(received));
    if (result == kRwpParsed)
        channel->socket.Send(channel->stream.SendData(), channel->stream.SendLength());
    else if (result == kRwpComplete)
        OnReplyComplete(window, *channel);
}

void AttachRecord(HWND window, MonitorChannel* channel) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(channel));
    channel->armedMessage = PNXM_MONITOR_SYSTEM;
    channel->socket.AsyncNotice(window, PNXM_MONITOR_SYSTEM, FD_READ);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
    auto* context = static_cast<CreateContext*>(create->lpCreateParams);
    if (!context || !context->record) return -1;
    context->attached = true;
    AttachRecord(window, context->record);
    return 0;
}

void OnDestroy(HWND window) {
    MonitorChannel* channel = RecordOf(window);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    delete channel;  // closes the socket
    ForgetParked(window);
}

void OnParkedReady(HWND window) {
    if (ParkedWindow* parked = FindParked(window)) parked->ready = true;
}

// A parked window of `owner` that is ready, attached to `channel` and titled as a new one.
HWND ReuseParkedWindow(HWND owner, MonitorChannel* channel) {
    auto it = std::find_if(g_parked.begin(), g_parked.end(), [owner](const ParkedWindow& parked) {
        return parked.owner == owner && parked.ready && IsWindow(parked.window);
    });
    if (it == g_parked.end()) return nullptr;
    HWND window = it->window;
    const bool retitle = it->title != channel->title;
    g_parked.erase(it);
    AttachRecord(window, channel);
    if (retitle) SetWindowTextA(window, channel->title.c_str());
    return window;
}

// Keeps the window of a closed channel for the owner's next one; false when it is not kept.
bool ParkWindow(HWND window, const MonitorChannel& channel) {
    if (!channel.owner) return false;
    size_t held = std::count_if(g_parked.begin(), g_parked.end(),
                                [&](const ParkedWindow& parked) { return parked.owner == channel.owner; });
    if (held >= kParkedPerOwner || GetWindow(window, GW_OWNER) != channel.owner) return false;
    if (!PostMessageA(window, kParkedReadyMessage, 0, 0)) return false;
    g_parked.push_back(ParkedWindow{window, channel.owner, channel.title, false});
    return true;
}

void OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMaxTrackSize.y = info->ptMinTrackSize.y;
    info->ptMaxSize.y = info->ptMinTrackSize.y;
}

LRESULT DispatchMonitorMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case kParkedReadyMessage:
        OnParkedReady(window);
        return 0;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    default:
        if (IsReplyMessage(message)) {
            OnReplyNotice(window, message, wParam, lParam);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return qz::NoThrow([&] { return DispatchMonitorMessage(window, message, wParam, lParam); });
}

int SendChannelRequest(HWND window, int commandIndex, UINT replyMessage) {
    MonitorChannel* channel = LookupChannel(window);
    if (!channel || !channel->socket.Valid()) return 0;
    if (!channel->stream.BuildRequest(RwpCommandText(commandIndex), nullptr, 0)) return 0;
    // The read notice stays armed between requests; it changes only for another reply kind.
    if (channel->armedMessage != replyMessage) {
        channel->armedMessage = replyMessage;
        channel->socket.AsyncNotice(window, replyMessage, FD_READ);
    }
    channel->stream.SetSendLength(rwp::kHeaderSize);
    channel->awaiting = true;

    const int length = static_cast<int>(rwp::kHeaderSize);
    int sent = channel->socket.Send(channel->stream.SendData(), rwp::kHeaderSize);
    for (int retry = 0; sent != length && retry < kResendLimit; ++retry) {
        if (sent < 0) return 0;
        Sleep(kResendDelay);
        sent = channel->socket.Send(channel->stream.SendData(), rwp::kHeaderSize);
    }
    return sent == length ? 1 : 0;
}

}  // namespace

bool RegisterMonitorWindowClass(HINSTANCE instance, size_t reassemblySize) {
    SetRwpReassemblySize(reassemblySize);
    g_monitorInstance = instance;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MonitorWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kMonitorWindowClass;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UnregisterMonitorWindowClass(HINSTANCE instance) {
    UnregisterClassA(kMonitorWindowClass, instance);
}

HWND CreateMonitorChannel(HWND owner, const AddressRecord& server, const char* name,
                          int showCommand) {
    std::unique_ptr<MonitorChannel> channel(new (std::nothrow) MonitorChannel);
    if (!channel) return nullptr;
    channel->owner = owner;
    channel->title = name ? name : "";
    channel->stream.SetGrowingReplyBuffer(&channel->reassembly, RwpReassemblySize());
    AddressRecord local = AddressRecord::Any(server.kind);
    // A failed socket still gets its window; the senders then give 0.
    channel->socket.Create(server, &local);

    if (HWND window = ReuseParkedWindow(owner, channel.get())) {
        channel.release();  // the window owns it now
        if (showCommand != SW_HIDE) ShowWindow(window, showCommand);
        return window;
    }
    CreateContext context{channel.get(), false};
    HWND window = CreateWindowExA(0, kMonitorWindowClass, name ? name : "",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                  CW_USEDEFAULT, kChannelWidth, kChannelHeight, owner, nullptr,
                                  g_monitorInstance, &context);
    if (context.attached) channel.release();  // the window owns it now (and freed it on failure)
    if (!window) return nullptr;
    ShowWindow(window, showCommand);
    return window;
}

void CloseMonitorChannel(HWND channel) {
    MonitorChannel* record = LookupChannel(channel);
    if (!record) return;
    if (IsWindowVisible(channel) || !ParkWindow(channel, *record)) {
        DestroyWindow(channel);
        return;
    }
    SetWindowLongPtrA(channel, GWLP_USERDATA, 0);
    delete record;  // closes the socket
}

int MonitorSendDeviceList(HWND channel, DeviceListKind kind) {
    switch (kind) {
    case DeviceListKind::Ex:
        return SendChannelRequest(channel, kRwpUsbDeviceListEx, PNXM_MONITOR_DEVICE_LIST_EX);
    case DeviceListKind::ExII:
        return SendChannelRequest(channel, kRwpUsbDeviceListExII, PNXM_MONITOR_DEVICE_LIST_EX_II);
    default:
        return SendChannelRequest(channel, kRwpUsbDeviceList, PNXM_MONITOR_DEVICE_LIST);
    }
}

int MonitorSendStorageList(HWND channel) {
    return SendChannelRequest(channel, kRwpStorageList, PNXM_MONITOR_STORAGE_LIST);
}

size_t MonitorReceivedLength(HWND channel) {
    MonitorChannel* record = LookupChannel(channel);
    return record ? record->stream.ReceivedLength() : 0;
}

bool MonitorLastReply(HWND channel, const uint8_t** data, size_t* length) {
    MonitorChannel* record = LookupChannel(channel);
    if (!record || !data || !length) return false;
    *data = ReplyData(*record);
    *length = std::min(record->stream.ReceivedLength(), record->reassembly.size());
    return true;
}

const char* MonitorChannelName(HWND channel) {
    MonitorChannel* record = LookupChannel(channel);
    return record ? record->portName : "";
}
