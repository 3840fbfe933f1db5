// bench_floor.exe: the least that listing and polling many servers costs under Wine, without
// the library. tools/bench_discovery.py runs it beside the library in the same network and
// prints the library's figures as ratios to these.
//
//   bench_floor.exe receive COUNT   search once, time until COUNT replies were read
//   bench_floor.exe list COUNT      search once; per reply: a server window whose WM_CREATE
//                                   makes the device list, the storage list and the log, and
//                                   two monitor windows; time until COUNT servers have them
//   bench_floor.exe idle COUNT SECONDS TIMER
//                                   list COUNT servers, give each a socket to its request port,
//                                   then every TIMER ms search once and poll every server once:
//                                   TimeOut timer set, request sent, reply read (its message
//                                   posted, the title set), end request sent, TimeOut timer
//                                   killed, Status timer set; runs SECONDS after "polling".
// Each mode waits for a line on standard input before it starts its clock, and answers with
// one JSON line per stage. The "ready" line and, in the list mode only, a "memory" line after
// "listed" hold the process's memory ("private_usage", "committed_private" in bytes, see
// process_memory.h): an empty host process, and one with the prescribed windows of COUNT
// servers. They are measured outside the timed stretch.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "process_memory.h"
#include "rwp_packet.h"
#include "search_packet.h"

namespace {
constexpr uint16_t kSearchPort = 19540;
constexpr uint16_t kRule = 0x9506;
constexpr UINT kSearchNotice = WM_APP + 1;
constexpr UINT kPollNotice = WM_APP + 2;
constexpr UINT kPollReply = WM_APP + 3;
constexpr UINT_PTR kTimerTimeOut = 1;
constexpr UINT_PTR kTimerStatus = 2;
constexpr UINT_PTR kTimerSearch = 3;
constexpr DWORD kTimeOutInterval = 3000;
constexpr int kListWidth = 200;
constexpr const char* kServerClass = "FloorServer";
constexpr const char* kMonitorClass = "FloorMonitor";
constexpr const char* kServiceClass = "FloorService";

struct Server {
    uint32_t address = 0;  // network order
    uint16_t rwpPort = 0;  // network order
    HWND window = nullptr;
    HWND monitor1 = nullptr;
    HWND monitor2 = nullptr;
    SOCKET socket = INVALID_SOCKET;
};

enum class Mode { Receive, List, Idle };

struct Run {
    Mode mode = Mode::Receive;
    size_t count = 0;
    HWND service = nullptr;
    SOCKET search = INVALID_SOCKET;
    std::vector<Server> servers;
    std::set<uint32_t> seen;
    size_t received = 0;
    LARGE_INTEGER start{}, frequency{};
    bool done = false;
    unsigned polls = 0, replies = 0, searches = 0;
    DWORD timer = 10000;
};
Run g_run;

double ElapsedMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - g_run.start.QuadPart) /
           static_cast<double>(g_run.frequency.QuadPart);
}

void Emit(const char* type) {
    std::printf("{\"type\":\"%s\",\"count\":%u,\"ms\":%.1f,\"polls\":%u,\"replies\":%u,\"searches\":%u}\n",
                type, static_cast<unsigned>(g_run.count == 0 ? 0 : g_run.received), ElapsedMs(), g_run.polls,
                g_run.replies, g_run.searches);
    std::fflush(stdout);
}

void EmitMemory(const char* type) {
    ProcessMemory memory = MeasureProcessMemory();
    std::printf("{\"type\":\"%s\",\"private_usage\":%llu,\"committed_private\":%llu}\n", type,
                static_cast<unsigned long long>(memory.privateUsage),
                static_cast<unsigned long long>(memory.committedPrivate));
    std::fflush(stdout);
}

HWND MakeList(HWND parent, int id, const char* title, int y, int height, DWORD extended) {
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, y,
                                kListWidth, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                nullptr, nullptr);
    ListView_SetExtendedListViewStyle(list, extended);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(title);
    column.cx = kListWidth;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    return list;
}

void SendRequest(Server& server, uint16_t type) {
    uint8_t request[rwp::kHeaderSize];
    rwp::BuildShortRequest(request, type, "GET USB_DEVICE_LIST", 0);
    send(server.socket, reinterpret_cast<const char*>(request), sizeof request, 0);
}

void Poll(Server& server) {
    SetTimer(server.window, kTimerTimeOut, kTimeOutInterval, nullptr);
    SendRequest(server, rwp::kTypeRequest);
    ++g_run.polls;
}

LRESULT CALLBACK ServerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        RECT client = {};
        GetClientRect(window, &client);
        int half = client.bottom / 2;
        MakeList(window, 1, "Device Names", 0, half, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        MakeList(window, 2, "Nas List", half, half, LVS_EX_FULLROWSELECT);
        CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT,
                        kListWidth, 0, 344, client.bottom, window, reinterpret_cast<HMENU>(3), nullptr, nullptr);
        return 0;
    }
    case WM_TIMER: {
        auto* server = reinterpret_cast<Server*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        KillTimer(window, wParam);
        if (server && wParam == kTimerStatus) Poll(*server);
        return 0;
    }
    case kPollReply:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kPollNotice) return DefWindowProcA(window, message, wParam, lParam);
    auto* server = reinterpret_cast<Server*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    char reply[rwp::kReceiveBufferSize];
    int length = server ? recv(server->socket, reply, sizeof reply, 0) : -1;
    rwp::ReplyFragment fragment{};
    if (length <= 0 || rwp::ParseReplyFragment(reply, static_cast<size_t>(length), fragment) != rwp::ReplyStatus::Ok ||
        fragment.type != rwp::kTypeRequest)
        return 0;
    ++g_run.replies;
    SendRequest(*server, rwp::kTypeEnd);
    PostMessageA(server->window, kPollReply, reinterpret_cast<WPARAM>(window), 0);
    SetWindowTextA(window, "");
    KillTimer(server->window, kTimerTimeOut);
    SetTimer(server->window, kTimerStatus, g_run.timer, nullptr);
    return 0;
}

void SendSearch() {
    SearchPacket packet = BuildSearchPacket(kRule);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(kSearchPort);
    to.sin_addr.s_addr = INADDR_BROADCAST;
    sendto(g_run.search, reinterpret_cast<const char*>(&packet), sizeof packet, 0, reinterpret_cast<sockaddr*>(&to),
           sizeof to);
    ++g_run.searches;
}

void AddServer(uint32_t address, uint16_t port) {
    Server& server = g_run.servers.emplace_back();
    server.address = address;
    server.rwpPort = port;
    char title[32];
    std::snprintf(title, sizeof title, "server %zu", g_run.servers.size());
    server.window = CreateWindowExA(0, kServerClass, title, WS_CAPTION | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 550, 600, g_run.service, nullptr, nullptr, nullptr);
    for (HWND* monitor : {&server.monitor1, &server.monitor2})
        *monitor = CreateWindowExA(0, kMonitorClass, "SYSTEM", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 320, 24, server.window, nullptr, nullptr, nullptr);
}

void OnSearchReply() {
    for (;;) {
        uint8_t reply[kSearchReplyCapacity];
        sockaddr_in from = {};
        int fromLength = sizeof from;
        int length = recvfrom(g_run.search, reinterpret_cast<char*>(reply), sizeof reply, 0,
                              reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length <= 0) break;
        if (!AcceptSearchReply(reply, static_cast<size_t>(length), kRule)) continue;
        if (!g_run.seen.insert(from.sin_addr.s_addr).second) continue;
        ++g_run.received;
        if (g_run.mode != Mode::Receive) AddServer(from.sin_addr.s_addr, from.sin_port);
        if (g_run.received == g_run.count && !g_run.done) {
            g_run.done = true;
            Emit("listed");
            if (g_run.mode == Mode::List) EmitMemory("memory");
            PostQuitMessage(0);
        }
    }
}

void StartPolling() {
    for (Server& server : g_run.servers) {
        server.socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = server.rwpPort;
        to.sin_addr.s_addr = server.address;
        connect(server.socket, reinterpret_cast<sockaddr*>(&to), sizeof to);
        SetWindowLongPtrA(server.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&server));
        SetWindowLongPtrA(server.monitor1, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&server));
        WSAAsyncSelect(server.socket, server.monitor1, kPollNotice, FD_READ);
        Poll(server);
    }
    SetTimer(g_run.service, kTimerSearch, g_run.timer, nullptr);
}

LRESULT CALLBACK ServiceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSearchNotice) {
        OnSearchReply();
        return 0;
    }
    if (message == WM_TIMER && wParam == kTimerSearch) {
        SendSearch();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterClasses() {
    const struct {
        const char* name;
        WNDPROC proc;
    } classes[] = {{kServerClass, ServerProc}, {kMonitorClass, MonitorProc}, {kServiceClass, ServiceProc}};
    for (const auto& c : classes) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = c.proc;
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = GetSysColorBrush(COLOR_INACTIVEBORDER);
        wc.lpszClassName = c.name;
        if (!RegisterClassA(&wc)) return false;
    }
    return true;
}

void Pump(DWORD untilTick) {
    MSG msg;
    for (;;) {
        DWORD now = GetTickCount();
        if (untilTick && static_cast<LONG>(untilTick - now) <= 0) return;
        DWORD wait = untilTick ? untilTick - now : INFINITE;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT) == WAIT_TIMEOUT) continue;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_floor receive|list|idle COUNT [SECONDS TIMER]\n");
        return 2;
    }
    g_run.mode = !std::strcmp(argv[1], "list") ? Mode::List : !std::strcmp(argv[1], "idle") ? Mode::Idle : Mode::Receive;
    g_run.count = static_cast<size_t>(std::atoi(argv[2]));
    int seconds = argc > 3 ? std::atoi(argv[3]) : 60;
    if (argc > 4) g_run.timer = static_cast<DWORD>(std::atoi(argv[4]));
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    if (!RegisterClasses()) return 1;
    g_run.service = CreateWindowExA(0, kServiceClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    g_run.search = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    BOOL on = TRUE;
    setsockopt(g_run.search, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    int buffer = 1 << 20;
    setsockopt(g_run.search, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer), sizeof buffer);
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    bind(g_run.search, reinterpret_cast<sockaddr*>(&any), sizeof any);
    WSAAsyncSelect(g_run.search, g_run.service, kSearchNotice, FD_READ);
    // The library's client has made the service window and its lists before the clock starts;
    // the floor warms up the same way with one server window made and destroyed.
    DestroyWindow(CreateWindowExA(0, kServerClass, "", WS_CAPTION | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                  550, 600, g_run.service, nullptr, nullptr, nullptr));
    g_run.servers.reserve(g_run.count + 1);  // windows keep pointers to their servers
    EmitMemory("ready");
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return 1;
    QueryPerformanceFrequency(&g_run.frequency);
    QueryPerformanceCounter(&g_run.start);
    SendSearch();
    Pump(0);
    if (g_run.mode == Mode::Idle) {
        StartPolling();
        Pump(GetTickCount() + 2000);  // the first round of polls settles
        g_run.polls = g_run.replies = g_run.searches = 0;
        QueryPerformanceCounter(&g_run.start);
        Emit("polling");
        Pump(GetTickCount() + static_cast<DWORD>(seconds) * 1000);
        Emit("idle");
    }
    return 0;
}
