// The request windows: a UDP socket with window-message notification, window timers and
// session changes around one RequestExchangeState each.
#include <winsock2.h>
#include <windows.h>
#include <wtsapi32.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app.h"
#include "use_request_exchange.h"
#include "use_request_window.h"

namespace {

constexpr int kWindowWidth = 350;
constexpr int kWindowHeight = 150;
constexpr int kSessionNotifyOsCode = 6;

struct RequestWindowState {
    HWND owner = nullptr;
    SOCKET socket = INVALID_SOCKET;
    RequestExchangeState exchange;
    int uses = 0;              // handlers of this state on the stack (StateUse)
    bool windowGone = false;   // destroyed while a handler ran: the last StateUse frees it
};

// Keeps a window's state alive while one of its handlers runs: the owner's answer to a record
// may pump messages (a modal dialog, a connect batch) in which the window is destroyed.
class StateUse {
public:
    explicit StateUse(RequestWindowState& state) : state_(state) { ++state_.uses; }
    ~StateUse() {
        if (--state_.uses == 0 && state_.windowGone) delete &state_;
    }
    StateUse(const StateUse&) = delete;
    StateUse& operator=(const StateUse&) = delete;

private:
    RequestWindowState& state_;
};

struct RequestGlobals {
    HINSTANCE instance = nullptr;
    HWND server = nullptr;
    std::wstring className = L"PNX.REQUEST.USE.CLASS";
    std::wstring serverTitle = L"PNX.REQUEST.SERVER";
    std::wstring clientTitle = L"PNX.REQUEST.CLIENT";
    bool consoleDisconnected = false;
    bool classRegistered = false;
    bool winsock = false;
    int clients = 0;
};
RequestGlobals g_request;

RequestWindowState* StateOf(HWND window) {
    return window ? reinterpret_cast<RequestWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
}

class WindowTransport : public RequestTransport {
public:
    WindowTransport(HWND window, RequestWindowState& state) : window_(window), state_(state) {}
    int Send(uint32_t address, uint16_t port, const uint8_t* data, size_t size) override {
        if (state_.socket == INVALID_SOCKET) return -1;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = address;
        to.sin_port = htons(port);
        return sendto(state_.socket, reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    void Notify(const UseRequestRecord& record, uint32_t peerAddress) override {
        if (state_.owner) {
            SendMessageW(state_.owner, UM_REQUEST_RECORD, reinterpret_cast<WPARAM>(&record),
                         static_cast<LPARAM>(peerAddress));
        }
    }
    void StartTimer(int id, uint32_t ms) override { SetTimer(window_, id, ms, nullptr); }
    void StopTimer(int id) override { KillTimer(window_, id); }
    bool HasOutgoingRequest() override { return g_request.clients > 0; }
    // No datagram is read any more; the window itself goes in Finish.
    void Close() override {
        closesocket(state_.socket);
        state_.socket = INVALID_SOCKET;
        closing_ = true;
    }
    void Pause(uint32_t ms) override { Sleep(ms); }
    // The window goes only after the exchange has finished with its state, unless the owner
    // has destroyed it meanwhile.
    void Finish() {
        if (closing_ && !state_.windowGone) DestroyWindow(window_);
    }

private:
    HWND window_;
    RequestWindowState& state_;
    bool closing_ = false;
};

bool OpenRequestSocket(HWND window, RequestWindowState& state, uint16_t port) {
    if (state.socket != INVALID_SOCKET) closesocket(state.socket);
    state.socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (state.socket == INVALID_SOCKET) return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    BOOL on = TRUE;
    if (bind(state.socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        setsockopt(state.socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
        WSAAsyncSelect(state.socket, window, UM_REQUEST_SOCKET, FD_READ) != 0) {
        closesocket(state.socket);
        state.socket = INVALID_SOCKET;
        return false;
    }
    return true;
}

void CloseRequestSocket(RequestWindowState& state) {
    if (state.socket != INVALID_SOCKET) closesocket(state.socket);
    state.socket = INVALID_SOCKET;
}

uint16_t OwnPort(const RequestWindowState& state) { return state.exchange.holder ? kRequestUdpPort : 0; }

using SessionRegisterFn = BOOL(WINAPI*)(HWND, DWORD);
using SessionUnregisterFn = BOOL(WINAPI*)(HWND);

FARPROC SessionFunction(const char* name) {
    if (g_app.osCode < kSessionNotifyOsCode) return nullptr;
    HMODULE wts = LoadLibraryW(L"wtsapi32.dll");  // stays loaded with the program
    return wts ? GetProcAddress(wts, name) : nullptr;
}

LRESULT OnRequestCreate(HWND window, const CREATESTRUCTW* create) {
    auto* state = static_cast<RequestWindowState*>(create->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    if (!state->exchange.holder) ++g_request.clients;
    const bool opened = OpenRequestSocket(window, *state, OwnPort(*state));
    if (!state->exchange.holder) {
        WindowTransport transport(window, *state);
        if (!opened || SendExchangePacket(state->exchange, transport) < 0) return -1;
    }
    if (auto reg = reinterpret_cast<SessionRegisterFn>(reinterpret_cast<void*>(
            SessionFunction("WTSRegisterSessionNotification")))) {
        reg(window, NOTIFY_FOR_THIS_SESSION);
    }
    return 0;
}

void OnRequestDestroy(HWND window) {
    RequestWindowState* state = StateOf(window);
    if (!state) return;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    CloseRequestSocket(*state);
    if (!state->exchange.holder) --g_request.clients;
    if (window == g_request.server) g_request.server = nullptr;
    if (state->uses > 0) {
        state->windowGone = true;
    } else {
        delete state;
    }
    if (auto unreg = reinterpret_cast<SessionUnregisterFn>(reinterpret_cast<void*>(
            SessionFunction("WTSUnRegisterSessionNotification")))) {
        unreg(window);
    }
}

void OnRequestReceive(HWND window, RequestWindowState& state, LPARAM event) {
    if (WSAGETSELECTEVENT(event) != FD_READ || WSAGETSELECTERROR(event) != 0) return;
    if (state.socket == INVALID_SOCKET) return;
    uint8_t buffer[kRequestReceiveBytes];
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int received = recvfrom(state.socket, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0) return;
    StateUse use(state);
    WindowTransport transport(window, state);
    OnExchangeDatagram(state.exchange, transport, buffer, static_cast<size_t>(received), from.sin_addr.s_addr,
                       ntohs(from.sin_port));
    transport.Finish();
}

void OnRequestSessionChange(HWND window, RequestWindowState& state, WPARAM event) {
    switch (event) {
        case WTS_CONSOLE_DISCONNECT:
            CloseRequestSocket(state);
            g_request.consoleDisconnected = true;
            break;
        case WTS_SESSION_LOCK:
            CloseRequestSocket(state);
            break;
        case WTS_CONSOLE_CONNECT:
            OpenRequestSocket(window, state, OwnPort(state));
            break;
        case WTS_SESSION_UNLOCK:
            if (g_request.consoleDisconnected) {
                g_request.consoleDisconnected = false;
            } else {
                OpenRequestSocket(window, state, OwnPort(state));
            }
            break;
        default:
            break;
    }
}

LRESULT CALLBACK RequestWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnRequestCreate(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        case WM_DESTROY:
            OnRequestDestroy(window);
            return 0;
        case WM_TIMER:
            if (RequestWindowState* state = StateOf(window)) {
                StateUse use(*state);
                WindowTransport transport(window, *state);
                OnExchangeTimer(state->exchange, transport, static_cast<int>(wParam));
            }
            return 0;
        case WM_WTSSESSION_CHANGE:
            if (RequestWindowState* state = StateOf(window)) OnRequestSessionChange(window, *state, wParam);
            return 0;
        case UM_REQUEST_SOCKET:
        case UM_REQUEST_SOCKET + 1:
        case UM_REQUEST_SOCKET + 2: {
            RequestWindowState* state = StateOf(window);
            if (!state) {
                DestroyWindow(window);
            } else if (message == UM_REQUEST_SOCKET) {
                OnRequestReceive(window, *state, lParam);
            }
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND CreateRequestWindow(HWND owner, const std::wstring& title, RequestWindowState* state) {
    HWND window = CreateWindowExW(0, g_request.className.c_str(), title.c_str(), WS_CAPTION, CW_USEDEFAULT,
                                  CW_USEDEFAULT, kWindowWidth, kWindowHeight, owner, nullptr, g_request.instance,
                                  state);
    return window;  // a failed WM_CREATE has freed the state through WM_DESTROY
}

BOOL HolderAnswer(bool (*answer)(RequestExchangeState&, RequestTransport&, uint16_t), uint16_t command) {
    RequestWindowState* state = StateOf(g_request.server);
    if (!state) return FALSE;
    WindowTransport transport(g_request.server, *state);
    return answer(state->exchange, transport, command) ? TRUE : FALSE;
}

}  // namespace

BOOL CreateRequestServer(HINSTANCE instance, HWND owner, const wchar_t* ownPcName) {
    if (g_request.server) return TRUE;
    g_request.instance = instance;
    if (!g_request.winsock) {
        WSADATA data{};
        g_request.winsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    wchar_t suffix[96];
    std::swprintf(suffix, 96, L".%X.%ls", kRequestUdpPort, kMainTitle);
    g_request.className += suffix;
    g_request.serverTitle += suffix;
    g_request.clientTitle += suffix;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = RequestWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = g_request.className.c_str();
    if (!RegisterClassExW(&wc)) return FALSE;
    g_request.classRegistered = true;
    auto* state = new RequestWindowState;
    state->owner = owner;
    state->exchange.holder = true;
    WideCharToMultiByte(CP_ACP, 0, ownPcName ? ownPcName : L"", -1, state->exchange.ownPcName,
                        kRequestPcNameSize - 1, nullptr, nullptr);
    g_request.server = CreateRequestWindow(owner, g_request.serverTitle, state);
    return g_request.server ? TRUE : FALSE;
}

HWND GetRequestServerWindow() { return g_request.server; }

BOOL SendRequestAccepted() {
    return HolderAnswer([](RequestExchangeState& s, RequestTransport& t, uint16_t) { return HolderSendAccepted(s, t); },
                        SRU_ACCEPT);
}
BOOL SendRequestRefused() { return HolderAnswer(HolderSendFinal, SRU_REFUSE); }
BOOL SendDeviceReleased() { return HolderAnswer(HolderSendFinal, SRU_RELEASED); }
BOOL SendDeviceNotFound() { return HolderAnswer(HolderSendFinal, SRU_NOT_FOUND); }

BOOL SendReleaseCountdown(BOOL withCountdown, DWORD seconds) {
    RequestWindowState* state = StateOf(g_request.server);
    if (!state) return FALSE;
    WindowTransport transport(g_request.server, *state);
    return HolderSendCountdown(state->exchange, transport, withCountdown == 1, seconds) ? TRUE : FALSE;
}

HWND CreateRequestClient(HWND owner, DWORD peerIPv4, const UseRequestRecord* record) {
    if (!record || peerIPv4 == 0 || !g_request.classRegistered) return nullptr;
    auto* state = new RequestWindowState;
    state->owner = owner;
    RequestExchangeState& e = state->exchange;
    e.command = SRU_REQUEST;
    e.peerAddress = peerIPv4;
    e.peerPort = kRequestUdpPort;
    e.vendorId = record->vendorId;
    e.productId = record->productId;
    CopyRequestText(e.deviceName, sizeof e.deviceName, record->deviceName);
    CopyRequestText(e.locations, sizeof e.locations, record->locations);
    CopyRequestText(e.ownPcName, sizeof e.ownPcName, record->ownPcName);
    std::memcpy(e.hardwareAddress, record->hardwareAddress, 6);
    return CreateRequestWindow(owner, g_request.clientTitle, state);
}

BOOL SendRequest(HWND client) {
    RequestWindowState* state = StateOf(client);
    if (!state || state->exchange.holder) return FALSE;
    state->exchange.command = SRU_REQUEST;
    WindowTransport transport(client, *state);
    return SendExchangePacket(state->exchange, transport) >= 0 ? TRUE : FALSE;
}

BOOL CancelRequest(HWND client) {
    RequestWindowState* state = StateOf(client);
    if (!state || state->exchange.holder) return FALSE;
    state->exchange.command = SRU_CANCEL;
    WindowTransport transport(client, *state);
    const bool sent = SendExchangePacket(state->exchange, transport) >= 0;
    DestroyWindow(client);
    return sent ? TRUE : FALSE;
}

void StopRequestCountdown(HWND client) {
    RequestWindowState* state = StateOf(client);
    if (!state || state->exchange.holder) return;
    WindowTransport transport(client, *state);
    RequesterStopPolling(state->exchange, transport);
}

void CloseRequestClient(HWND client) {
    if (client && IsWindow(client) && client != g_request.server) DestroyWindow(client);
}

bool AnyRequestClient() { return g_request.clients > 0; }

void DestroyRequestWindows(HINSTANCE instance) {
    if (!g_request.classRegistered) return;
    while (HWND window = FindWindowW(g_request.className.c_str(), nullptr)) {
        if (!DestroyWindow(window)) break;
    }
    UnregisterClassW(g_request.className.c_str(), instance);
    g_request.classRegistered = false;
    if (g_request.winsock) WSACleanup();
    g_request.winsock = false;
}
