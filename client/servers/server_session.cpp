#include "server_session.h"
#include "child_windows.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "address_record.h"
#include "blackout.h"
#include "device_entry.h"
#include "device_list_reply.h"
#include "keepalive.h"
#include "lib_lock.h"
#include "list_rows.h"
#include "lib_state.h"
#include "live_session.h"
#include "log.h"
#include "messages.h"
#include "no_throw.h"
#include "notify.h"
#include "search_reply.h"
#include "search_socket.h"
#include "server_list.h"
#include "server_names.h"
#include "server_timers.h"
#include "text_util.h"

namespace {
ServerAutomationHooks g_automation;
ServerStorageHooks g_storage;
constexpr int kServerWindowWidth = 550;
constexpr int kServerWindowHeight = 600;
constexpr int kDeviceListWidth = 200;
constexpr int kLogListWidth = 344;
constexpr const char* kLogRule = "--------------------------------------------------";

HWND CreateListChild(HWND window, int id, const char* title, int y, int height, DWORD extendedStyle) {
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, y,
                                kDeviceListWidth, height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                g_lib.instance, nullptr);
    if (!list) return nullptr;
    ListView_SetExtendedListViewStyle(list, extendedStyle);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(title);
    column.cx = kDeviceListWidth;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    return list;
}

// The device list, the storage list and the server's log. A child that cannot be made leaves
// the window without it; the code that looks the child up then finds nothing. The window is
// hidden until someone shows it, so the children start without redraw (see OnShowWindow).
void CreateServerChildren(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    int half = (client.bottom - client.top) / 2;
    HWND children[] = {
        CreateListChild(window, kIdDeviceList, "Device Names", 0, half, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT),
        CreateListChild(window, kIdNasList, "Nas List", half, half, LVS_EX_FULLROWSELECT),
        CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT,
                        kDeviceListWidth, 0, kLogListWidth, client.bottom - client.top, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLogList)), g_lib.instance, nullptr)};
    for (HWND child : children) {
        if (!child) continue;
        if (g_lib.listFont) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_lib.listFont.get()), FALSE);
        SendMessageA(child, WM_SETREDRAW, FALSE, 0);
    }
}

void LogServerHeader(HWND window, const ServerEntry* entry) {
    if (!LogFlags()) return;
    ServerInfo info;
    std::string version;
    {
        LibraryLock lock;
        info = *entry->record->info;
        version = entry->record->rwpVersionText;
    }
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    LogLine(window, "%s", kLogRule);
    LogLine(window, "          %s", caption);
    LogLine(window, "%s", kLogRule);
    LogLine(window, "*** Server Information ***");
    LogLine(window, "  IP Address       : %s", Ipv4Text(info.ipAddress).c_str());
    LogLine(window, "  Ethernet Address : %s", HardwareAddressText(info.hardwareAddress).c_str());
    LogLine(window, "  Host Name        : %.16s", info.hostName);
    LogLine(window, "  RWP Version      : %s", version.c_str());
    LogLine(window, "  Server Version   : %.16s", info.firmwareVersion);
    LogLine(window, "  Model            : %.33s", info.modelName);
    LogLine(window, "%s", kLogRule);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
    auto* entry = static_cast<ServerEntry*>(create ? create->lpCreateParams : nullptr);
    {
        LibraryLock lock;
        // A server without its record has nothing to run: the window closes itself.
        if (!entry || !entry->record || !entry->record->info) return -1;
        entry->serverWindow = window;
        entry->record->blackoutWatch = (g_lib.specialNotification & kSpecialBlackoutWatch) != 0;
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(entry));
    CreateServerChildren(window);
    LogServerHeader(window, entry);
    StartKeepAliveTimer(window);
    return 0;
}

// The server is gone: everything of its session stops, its devices and storage go, the
// client hears it once, then its row goes and with it the entry.
LRESULT OnDestroy(HWND window) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return 0;
    {
        LibraryLock lock;
        if (!entry->record || entry->record->closing) return 0;
        // From here on no message starts anything on this window, and nobody destroys it again.
        entry->record->closing = true;
    }
    HWND owner = entry->owner;
    StopSessionTimer(window);
    StopKeepAliveTimer(window);
    StopBlackoutTimer(window);
    CloseServerChannels(window);
    DropPcNames(window);
    DestroyServerDevices(window);
    if (g_storage.destroy) g_storage.destroy(window);
    NotifyServer(window, entry, PNXET_DELETE, 0);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    // The client may have ended the whole service while it was told: then the row, and the
    // entry with it, is gone already.
    if (ServerEntryListed(owner, entry)) {
        {
            LibraryLock lock;
            entry->serverWindow = nullptr;
        }
        RemoveServerRow(owner, entry);
    }
    return 0;
}

LRESULT OnRenew(HWND window, LPARAM mode) {
    ServerEntry* entry = LiveSessionEntry(window);
    if (!entry) return 0;
    {
        LibraryLock lock;
        entry->record->timerCount = 0;
    }
    bool quiet = mode == 1;
    if (!quiet) {
        RenewServerDevices(window);
        if (g_storage.renew) g_storage.renew(window);
        if (!SessionAlive(window, entry)) return 0;
    }
    StopSessionTimer(window);
    {
        LibraryLock lock;
        entry->record->searched = true;
    }
    StepAnalysis(window, 0, quiet);
    return 0;
}

LRESULT OnSessionTimers(HWND window, WPARAM wParam) {
    if (wParam == 0) {
        StopSessionTimer(window);
    } else if (wParam == 1 && LiveSessionEntry(window)) {
        SendMessageA(window, PNXM_RENEW, 0, 0);
    }
    return 0;
}

LRESULT OnAutoPrinter(HWND window, WPARAM wParam, LPARAM lParam) {
    if (!LiveSessionEntry(window)) return 0;
    if (wParam == 0) {
        if (g_automation.suspend) g_automation.suspend(window, lParam != 0);
    } else if (wParam == 1) {
        if (g_automation.resume) g_automation.resume(window);
    }
    return 0;
}

LRESULT OnTimer(HWND window, UINT_PTR id) {
    switch (id) {
    case kTimerTimeOut:
        OnSessionTimerTick(window);
        break;
    case kTimerStatus:
        OnStatusTick(window);
        break;
    case kTimerKeepAlive:
        OnKeepAliveTick(window);
        break;
    case kTimerBlackout:
        OnBlackoutTick(window);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT OnNotify(const NMHDR* header) {
    if (header && (header->idFrom == static_cast<UINT_PTR>(kIdDeviceList) ||
                   header->idFrom == static_cast<UINT_PTR>(kIdNasList))) {
        FollowListNotice(header);
    }
    if (header && header->idFrom == static_cast<UINT_PTR>(kIdDeviceList) && header->code == LVN_DELETEITEM) {
        auto* item = reinterpret_cast<const NMLISTVIEW*>(header);
        if (g_automation.deviceRowDeleted) g_automation.deviceRowDeleted(reinterpret_cast<DeviceEntry*>(item->lParam));
    }
    return 0;
}

LRESULT OnAnalysisStart(HWND window) {
    if (LiveSessionEntry(window)) StepAnalysis(window, kStateProbeAnswered, false);
    return 0;
}

LRESULT OnChannelsOpen(HWND window) {
    if (LiveSessionEntry(window)) StepAnalysis(window, kStateChannelsOpen, false);
    return 0;
}

LRESULT OnOtherPcName(HWND window, WPARAM device) {
    if (LiveSessionEntry(window)) StartPcNameLookup(window, device);
    return 0;
}

LRESULT OnPcNameFound(HWND window) {
    if (LiveSessionEntry(window)) ApplyPcNames(window);
    return 0;
}

LRESULT OnRunApplication(HWND window, WPARAM wParam, LPARAM lParam) {
    if (LiveSessionEntry(window) && g_automation.runApplications) g_automation.runApplications(window, wParam, lParam);
    return 0;
}

LRESULT DispatchServerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        return OnDestroy(window);
    case WM_NCDESTROY:
        ForgetChildWindows(window);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_SHOWWINDOW:
        // Lists of a hidden window do not repaint; shown, they draw again.
        SetChildrenRedraw(window, wParam != 0);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_TIMER:
        return OnTimer(window, wParam);
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case PNXM_SEARCH_SOCKET:
        OnProbeReply(window, wParam, lParam);
        return 0;
    case PNXM_ANALYSIS_START:
        return OnAnalysisStart(window);
    case PNXM_CHANNELS_OPEN:
        return OnChannelsOpen(window);
    case PNXM_MONITOR_DEVICE_LIST:
    case PNXM_MONITOR_DEVICE_LIST_EX:
    case PNXM_MONITOR_DEVICE_LIST_EX_II:
        OnDeviceListReply(window, message, reinterpret_cast<HWND>(wParam));
        return 0;
    case PNXM_MONITOR_STORAGE_LIST:
        OnStorageListReply(window, message, reinterpret_cast<HWND>(wParam));
        return 0;
    case PNXM_OTHER_PC_NAME:
        return OnOtherPcName(window, wParam);
    case PNXM_PC_NAME_FOUND:
        return OnPcNameFound(window);
    case PNXM_RENEW:
        return OnRenew(window, lParam);
    case PNXM_SESSION_TIMERS:
        return OnSessionTimers(window, wParam);
    case PNXM_AUTO_PRINTER:
        return OnAutoPrinter(window, wParam, lParam);
    case PNXM_RUN_APPLICATION:
        return OnRunApplication(window, wParam, lParam);
    case PNXM_MONITOR_NOTICE:
    case PNXM_MONITOR_SYSTEM:
    case PNXM_PROCESS_WATCH_END:
    case PNXM_AUTO_PRINTER_END:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK ServerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return qz::NoThrow([&] { return DispatchServerMessage(window, message, wParam, lParam); });
}

// Status word changes of a server status update; `type` as ApplyServerStatusUpdate takes it.
uint16_t UpdatedStatus(uint16_t status, int type) {
    switch (type) {
    case 0:  // network error
        return static_cast<uint16_t>((status | kServerStatusNetworkError) & ~kServerStatusGetStatus);
    case 1:  // no device
        return static_cast<uint16_t>((status | kServerStatusNoDevice) & ~kServerStatusGetStatus);
    case 2:  // clear
        return static_cast<uint16_t>(status &
                                     ~(kServerStatusNoDevice | kServerStatusNetworkError | kServerStatusGetStatus));
    case 3:  // get status
        return static_cast<uint16_t>((status | kServerStatusGetStatus) &
                                     ~(kServerStatusOverCurrent | kServerStatusNetworkError));
    default:
        return status;
    }
}
}  // namespace

void SetServerAutomationHooks(const ServerAutomationHooks& hooks) {
    g_automation = hooks;
}

void SetServerStorageHooks(const ServerStorageHooks& hooks) {
    g_storage = hooks;
}

const ServerStorageHooks& TheServerStorageHooks() {
    return g_storage;
}

bool RegisterServerWindowClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ServerWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = GetSysColorBrush(COLOR_INACTIVEBORDER);
    wc.lpszClassName = kServerWindowClass;
    return RegisterClassA(&wc) != 0;
}

void UnregisterServerWindowClass(HINSTANCE instance) { UnregisterClassA(kServerWindowClass, instance); }

HWND CreateServerWindow(HWND service, const char* hardwareText, ServerEntry* entry) {
    if (!entry) return nullptr;
    return CreateWindowExA(0, kServerWindowClass, hardwareText ? hardwareText : "", WS_CAPTION | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, kServerWindowWidth, kServerWindowHeight, service, nullptr,
                           g_lib.instance, entry);
}

void ApplyServerStatusUpdate(HWND serverWindow, int type, bool apply) {
    ServerEntry* entry = ServerEntryOfWindow(serverWindow);
    if (!entry) return;
    bool changed;
    {
        LibraryLock lock;
        if (!entry->record || !entry->record->info) return;
        ServerInfo& info = *entry->record->info;
        info.statusWordPrevious = info.statusWord;
        if (apply) info.statusWord = UpdatedStatus(info.statusWord, type);
        changed = info.statusWord != info.statusWordPrevious;
    }
    if (changed) NotifyServer(serverWindow, entry, PNXET_CHANGE, kServerChangeStatus);
}

void HandleSearchReply(HWND service, WPARAM wParam, LPARAM lParam) {
    // Every reply already waiting is taken on this one notice, so that each new server is
    // reported before any analysis (posted as each server is made) starts.
    constexpr int kRepliesPerNotice = 1024;
    for (int i = 0; i < kRepliesPerNotice; ++i) {
        uint8_t reply[kSearchReplyMax];
        AddressRecord from;
        int length = ReceiveSearchReply(wParam, lParam, reply, sizeof reply, &from);
        if (length > 0) {
            uint16_t port = from.kind == AddressKind::Ipv4 ? from.Port() : 0;
            ServerFromReplyAt(service, reply, static_cast<size_t>(length), nullptr, port);
        }
        if (!SearchReplyWaiting(wParam)) break;
    }
}
