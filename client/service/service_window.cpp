#include "service_window.h"
#include "child_windows.h"

#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <commctrl.h>
#include <wtsapi32.h>

#include "automation.h"
#include "bus_driver.h"
#include "automation_notify.h"
#include "connect_queue.h"
#include "watch_state.h"
#include "font_util.h"
#include "keepalive.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "lib_stop.h"
#include "list_rows.h"
#include "listview_util.h"
#include "log.h"
#include "messages.h"
#include "no_throw.h"
#include "os_info.h"
#include "row_index.h"
#include "search_cycle.h"
#include "search_filter.h"
#include "search_socket.h"
#include "server_list.h"
#include "server_session.h"
#include "watchers.h"

namespace {
constexpr const char* kListFontText = "Tahoma,11,ANSI";
constexpr int kServiceWindowWidth = 500;
constexpr int kServiceWindowHeight = 800;

// Session notifications exist from XP on.
bool SessionNotificationsAvailable() { return GetOsCode(nullptr, nullptr) > kOsWin2000; }

LRESULT OnCreate(HWND window) {
    // A new service: the threads it starts wait until it ends.
    ClearLibraryStop();
    if (!g_lib.listFont) g_lib.listFont.reset(FontFromText(kListFontText));
    // A child that cannot be made leaves the window without the rest: no sockets, no watchers.
    if (!CreateServiceChildren(window, static_cast<HFONT>(g_lib.listFont.get()))) return 0;
    if (SessionNotificationsAvailable()) {
        g_lib.sessionNotifications = WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION) != FALSE;
    }
    OpenKeepAliveSocket(window, kKeepAlivePort, PNXM_KEEPALIVE_SOCKET);
    StartPrinterWatch(window);
    StartProcessWatch(window);
    StartAddressWatch(window);
    return 0;
}

void DestroyAllServerWindows(HWND window) {
    for (ServerEntry* entry : ServerEntries(window)) {
        if (ServerEntryListed(window, entry)) DestroyServerWindow(window, entry);
    }
}

LRESULT OnDestroy(HWND window) {
    // Every wait of a library thread ends now: the threads are waited for below and after.
    SignalLibraryStop();
    StopAutoSearchTimer(window);
    CloseSearchSockets();
    SendToServerWindows(window, PNXM_SESSION_TIMERS, 0, 0);
    DestroyAllServerWindows(window);
    CloseBusDriver();
    CloseKeepAliveSocket();
    FreeSearchFilters();
    DetachConnectQueueState(ChildWindow(window, kIdConnectQueue));
    if (g_lib.sessionNotifications) WTSUnRegisterSessionNotification(window);
    g_lib.sessionNotifications = false;
    // Ends the message loop of the thread that registered (the client's GUI thread).
    PostQuitMessage(0);
    return 0;
}

// After the children are gone: nothing draws with the font any more, and a later
// registration must not find this window.
LRESULT OnNcDestroy(HWND window) {
    ForgetChildWindows(window);
    g_lib.listFont.reset();
    LibraryLock lock;
    if (g_lib.serviceWindow == window) g_lib.serviceWindow = nullptr;
    return 0;
}

void OnServerListNotify(HWND window, const NMHDR* header) {
    FollowListNotice(header);
    if (header->code == LVN_DELETEITEM) {
        auto* item = reinterpret_cast<const NMLISTVIEW*>(header);
        RowIndexRemove(header->hwndFrom, item->lParam);
        LibraryLock lock;
        FreeServerEntry(reinterpret_cast<ServerEntry*>(item->lParam));
    } else if (header->code == NM_DBLCLK) {
        int row = ListView_GetNextItem(header->hwndFrom, -1, LVNI_SELECTED);
        if (row < 0) return;
        auto* entry = static_cast<ServerEntry*>(ListViewItemData(header->hwndFrom, row));
        HWND serverWindow = nullptr;
        {
            LibraryLock lock;
            if (entry && ServerEntryListed(window, entry)) serverWindow = entry->serverWindow;
        }
        if (serverWindow) ShowWindow(serverWindow, SW_SHOWNOACTIVATE);
    }
}

LRESULT OnNotify(HWND window, const NMHDR* header) {
    if (!header) return 0;
    switch (header->idFrom) {
    case kIdServerList:
        OnServerListNotify(window, header);
        break;
    case kIdConnectQueue:
    case kIdDetectedServers:
        // Rows of the detected list own process-heap records; queue rows only show requests.
        if (header->code == LVN_DELETEITEM && header->idFrom == static_cast<UINT_PTR>(kIdDetectedServers)) {
            auto* item = reinterpret_cast<const NMLISTVIEW*>(header);
            RowIndexRemove(header->hwndFrom, item->lParam);
            if (item->lParam) HeapFree(GetProcessHeap(), 0, reinterpret_cast<void*>(item->lParam));
        }
        break;
    case kIdProcessList:
        if (header->code == LVN_DELETEITEM) DeleteProcessRow(reinterpret_cast<const NMLISTVIEW*>(header));
        break;
    default:
        break;
    }
    return 0;
}

LRESULT OnTimer(HWND window, UINT_PTR id) {
    if (id == kTimerAutoSearch) {
        SearchStep(window, true);
    } else if (id == kTimerLostServerSweep) {
        KillTimer(window, kTimerLostServerSweep);
        g_lib.renewAllRunning = false;
        LostServerSweep(window);
    }
    return 0;
}

LRESULT OnQueueEnd(HWND window) {
    if (!ConnectQueueEnded(window)) return 0;  // a new worker runs: its end completes the queue
    HWND requester;
    {
        LibraryLock lock;
        requester = g_lib.requesterWindow;
    }
    if (requester) {
        LogLine(window, ">> SendMessage(PNXN_COMPLETE, 0) <<");
        SendMessageA(requester, PNXN_COMPLETE, 0, 0);
    }
    LibraryLock lock;
    g_lib.requesterWindow = nullptr;
    return 0;
}

// The printer watcher posts a copy of the name that is freed here.
LRESULT OnPrinterChange(HWND window, WPARAM added, LPARAM name) {
    std::unique_ptr<char[]> copy(reinterpret_cast<char*>(name));
    const char* printer = copy ? copy.get() : "";
    if (added == 1) {
        LogLine(window, ">> Add Printer Object!! (%s) <<", printer);
        NotifyPrinterAppeared(window);
    } else {
        LogLine(window, ">> Delete Printer Object!! (%s) <<", printer);
    }
    return 0;
}

LRESULT OnKeepAliveSocket(HWND window, WPARAM wParam, LPARAM lParam) {
    LibraryLock lock;
    ReadKeepAliveSocketLocked(window, wParam, lParam);
    return 0;
}
}  // namespace

static LRESULT DispatchServiceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        return OnDestroy(window);
    case WM_NCDESTROY:
        return OnNcDestroy(window);
    case WM_SHOWWINDOW:
        // Lists of a hidden window do not repaint; shown, they draw again.
        SetChildrenRedraw(window, wParam != 0);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_NOTIFY:
        return OnNotify(window, reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
        return OnTimer(window, wParam);
    case PNXM_SEARCH_SOCKET:
        HandleSearchReply(window, wParam, lParam);
        return 0;
    case PNXM_SEARCH_NOW:
        SearchCycle(window);
        return 0;
    case PNXM_QUEUE_ROWS:
        ShowConnectQueueRows();
        return 0;
    case PNXM_QUEUE_START:
        StartConnectQueueWorker(window);
        return 0;
    case PNXM_QUEUE_END:
        return OnQueueEnd(window);
    case PNXM_FREE_DEVICE_COPY:
        FreeDeviceEntryCopy(reinterpret_cast<void*>(lParam));
        return 0;
    case PNXM_PRINTER_CHANGE:
        return OnPrinterChange(window, wParam, lParam);
    case PNXM_AUTO_NOTIFY:
        DeliverAutoNotice(window, lParam);
        return 0;
    case PNXM_PROCESS_ROWS:
        ShowProcessRows(window);
        return 0;
    case PNXM_PRINTER_ROWS:
        ShowPrinterRows(window);
        return 0;
    case PNXM_KEEPALIVE_SOCKET:
        return OnKeepAliveSocket(window, wParam, lParam);
    case PNXM_PRINTER_WATCH_END:
    case PNXM_PROCESS_WATCH_END:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// No exception leaves the procedure: a handler that throws (in practice an allocation
// failure) ends the message as handled, with 0.
LRESULT CALLBACK ServiceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return qz::NoThrow([&] { return DispatchServiceMessage(window, message, wParam, lParam); });
}

bool RegisterServiceWindowClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_GLOBALCLASS;
    wc.lpfnWndProc = ServiceWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = GetSysColorBrush(COLOR_INACTIVEBORDER);
    wc.lpszClassName = kServiceWindowClass;
    return RegisterClassA(&wc) != 0;
}

void UnregisterServiceWindowClass(HINSTANCE instance) { UnregisterClassA(kServiceWindowClass, instance); }

HWND CreateServiceWindow(HWND owner) {
    return CreateWindowExA(0, kServiceWindowClass, kServiceWindowTitle, WS_CAPTION | WS_CLIPCHILDREN, 0, 0,
                           kServiceWindowWidth, kServiceWindowHeight, owner, nullptr, g_lib.instance, nullptr);
}
