#include "guidriver_watch.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr double kBusyMs = 15.0;      // a poll longer than this found the thread busy
constexpr double kQuietMs = 1000.0;   // done: counts reached and no busy stretch for this long
constexpr size_t kMaxStretches = 20000;

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int Count(HWND window, UINT message) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, 60000, &result)) return -1;
    return static_cast<int>(result);
}

struct Stretch {
    double start, length;
    int rows, items;
};

}  // namespace

int WatchGuiThread(const WatchRequest& request) {
    const double begin = NowMs();
    if (request.message) PostMessageW(request.dialog, request.message, request.wParam, request.lParam);
    std::string stretches;
    size_t kept = 0;
    double busy = 0, longest = 0, full = -1, lastBusyEnd = begin;
    int rows = 0, items = 0;
    for (;;) {
        const double t0 = NowMs();
        rows = Count(request.list, LVM_GETITEMCOUNT);
        items = Count(request.tree, TVM_GETCOUNT);
        const double t1 = NowMs();
        if (rows < 0 || items < 0) break;
        if (t1 - t0 > kBusyMs) {
            busy += t1 - t0;
            if (t1 - t0 > longest) longest = t1 - t0;
            lastBusyEnd = t1;
            if (kept++ < kMaxStretches) {
                char text[96];
                std::snprintf(text, sizeof text, "%s[%.1f,%.1f,%d,%d]", stretches.empty() ? "" : ",", t0 - begin,
                              t1 - t0, rows, items);
                stretches += text;
            }
        }
        const bool reached = (request.rows < 0 || rows >= request.rows) && (request.items < 0 || items >= request.items);
        if (reached && full < 0) full = t1 - begin;
        if (reached && t1 - lastBusyEnd >= kQuietMs) break;
        if (t1 - begin >= request.milliseconds) break;
        Sleep(1);
    }
    std::printf("{\"ok\":true,\"rows\":%d,\"items\":%d,\"full_ms\":%.1f,\"busy_ms\":%.1f,\"longest_ms\":%.1f,"
                "\"last_busy_end_ms\":%.1f,\"stretches\":[%s]}\n",
                rows, items, full, busy, longest, lastBusyEnd - begin, stretches.c_str());
    return 0;
}

int TimeRepaint(HWND control) {
    Count(control, WM_NULL);  // the thread is free before the clock starts
    InvalidateRect(control, nullptr, TRUE);
    // The paint runs when the control's thread next finds its queue empty; a poll that waits
    // for it takes as long as the paint.
    const double begin = NowMs();
    double longest = 0;
    while (NowMs() - begin < 1000.0) {
        const double t0 = NowMs();
        Count(control, WM_NULL);
        const double t1 = NowMs();
        if (t1 - t0 > longest) longest = t1 - t0;
        Sleep(1);
    }
    std::printf("{\"ok\":true,\"paint_ms\":%.1f}\n", longest);
    return 0;
}

namespace {

struct ServiceSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindServiceWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<ServiceSearch*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[64] = {};
    if (pid == search->pid && GetClassNameW(window, name, 64) && std::wcscmp(name, L"PNX_SERVICE_CONTROL_DLL") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int TimeExit(HWND mainWindow, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, DWORD milliseconds) {
    ServiceSearch search{0, nullptr};
    GetWindowThreadProcessId(mainWindow, &search.pid);
    EnumWindows(FindServiceWindow, reinterpret_cast<LPARAM>(&search));
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, search.pid);
    if (!process) {
        std::printf("{\"ok\":false,\"error\":\"no process\"}\n");
        return 1;
    }
    // Each mark is read from the window manager's state, which the program's busy GUI thread
    // does not hold up.
    double hidden = -1, serviceGone = search.found ? -1 : 0, dialogGone = -1, mainGone = -1, ended = -1;
    const double begin = NowMs();
    PostMessageW(mainWindow, message, wParam, lParam);
    for (;;) {
        const double t = NowMs() - begin;
        if (hidden < 0 && !IsWindowVisible(dialog)) hidden = t;
        if (serviceGone < 0 && !IsWindow(search.found)) serviceGone = t;
        if (dialogGone < 0 && !IsWindow(dialog)) dialogGone = t;
        if (mainGone < 0 && !IsWindow(mainWindow)) mainGone = t;
        if (WaitForSingleObject(process, 5) == WAIT_OBJECT_0) {
            ended = NowMs() - begin;
            break;
        }
        if (t >= milliseconds) break;
    }
    CloseHandle(process);
    std::printf("{\"ok\":true,\"hidden_ms\":%.1f,\"service_gone_ms\":%.1f,\"dialog_gone_ms\":%.1f,"
                "\"main_gone_ms\":%.1f,\"ended_ms\":%.1f}\n",
                hidden, serviceGone, dialogGone, mainGone, ended);
    return 0;
}
