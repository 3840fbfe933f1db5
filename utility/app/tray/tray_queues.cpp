// The balloon queue and the Request queue: two hidden report-view list controls of the main
// window whose rows carry the records, and the balloon flow on top of them.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

#include "app.h"
#include "device_rows.h"
#include "ini_text.h"
#include "pnx_api.h"
#include "tray.h"
#include "tray_shell.h"
#include "user_settings.h"
#include "utility_log.h"
#include "../../../client/server_entry.h"

namespace {

constexpr int kQueueHeight = 150;
constexpr uint16_t kServerOverCurrent = 0x0001;
constexpr uint16_t kDeviceStatusExError = 0x0002;
constexpr int kOsCodeBalloonAnimates = 5;

struct BalloonRecord {
    wchar_t section[260];
    wchar_t titleKey[260];
    wchar_t textKey[260];
    wchar_t argument[260];
    uint32_t displayTime;
    uint64_t key;
};

// Both flags belong to the GUI thread.
bool g_balloonShowing = false;  // shown by us, its time not yet over
bool g_balloonShownBySystem = false;

// The queues of the main window, kept when they are made: under Wine a look-up by id is a
// wineserver round trip, and a burst of device notices (a lost server, the exit) removes every
// device's balloons and requests, each asking for both queues. GUI thread only.
struct QueueHandles {
    HWND window = nullptr;
    HWND balloon = nullptr;
    HWND request = nullptr;
};
QueueHandles g_queues;

HWND Queue(HWND window, int id) {
    if (window && window == g_queues.window) {
        HWND kept = id == IDC_BALLOON_QUEUE ? g_queues.balloon : id == IDC_REQUEST_QUEUE ? g_queues.request : nullptr;
        // IsWindow answers for the program's own windows without a round trip.
        if (kept && IsWindow(kept)) return kept;
    }
    return GetDlgItem(window, id);
}

HWND CreateQueue(HWND window, int id, int top, const wchar_t* column) {
    RECT rc{};
    GetClientRect(window, &rc);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, top, rc.right - 5, kQueueHeight,
                                window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_app.instance, nullptr);
    if (!list) return nullptr;
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 120;
    col.pszText = const_cast<wchar_t*>(column);
    ListView_InsertColumn(list, 0, &col);
    return list;
}

int AppendRow(HWND list, const wchar_t* text, LPARAM data) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<wchar_t*>(text);
    item.lParam = data;
    return ListView_InsertItem(list, &item);
}

LPARAM RowData(HWND list, int index) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    return ListView_GetItem(list, &item) ? item.lParam : 0;
}

void Copy(wchar_t (&target)[260], const wchar_t* text) {
    wcsncpy(target, text ? text : L"", 259);
    target[259] = L'\0';
}

bool AnyErrorRemains() {
    if (!g_app.service) return false;
    HPnxSv server = nullptr;
    for (int i = 0; g_pnx.PnxEnumServers(g_app.service, i, &server); ++i) {
        ServerInfo info{};
        if (g_pnx.PnxGetServerInfo(g_app.service, server, &info) && (info.statusWord & kServerOverCurrent)) return true;
        HPnxDv device = nullptr;
        for (uint32_t k = 0; g_pnx.PnxEnumUsbDevices(g_app.service, server, k, &device); ++k) {
            UsbDeviceInfo usb{};
            PropertyInfo property{};
            g_pnx.PnxInitUsbDeviceInfo(g_app.service, &usb, &property);
            const bool error = g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &usb, nullptr) &&
                               (usb.statusEx & kDeviceStatusExError);
            g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &usb, &property);
            if (error) return true;
        }
    }
    return false;
}

void AnimateErrorUnlessRequest(HWND window) {
    if (!IsRequestDialogOpen()) SetTrayState(window, kTrayAnimateError, nullptr);
}

}  // namespace

void CreateTrayQueues(HWND window) {
    g_queues.window = window;
    g_queues.balloon = CreateQueue(window, IDC_BALLOON_QUEUE, 0, L"Balloon");
    g_queues.request = CreateQueue(window, IDC_REQUEST_QUEUE, kQueueHeight + 1, L"Request");
}

BOOL QueueBalloon(HWND window, uint64_t key, const wchar_t* rowText, const wchar_t* section, const wchar_t* titleKey,
                  const wchar_t* textKey, const wchar_t* argument, uint32_t displayTime) {
    HWND list = Queue(window, IDC_BALLOON_QUEUE);
    if (!list || !section) return FALSE;
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        const auto* record = reinterpret_cast<const BalloonRecord*>(RowData(list, i));
        if (record && record->key == key) return FALSE;
    }
    auto* record = new (std::nothrow) BalloonRecord{};
    if (!record) return FALSE;
    Copy(record->section, section);
    Copy(record->titleKey, titleKey);
    Copy(record->textKey, textKey);
    Copy(record->argument, argument);
    record->displayTime = displayTime;
    record->key = key;
    if (AppendRow(list, rowText ? rowText : L"", reinterpret_cast<LPARAM>(record)) < 0) {
        delete record;
        return FALSE;
    }
    if (!g_settings.errorNotice) {
        AnimateErrorUnlessRequest(window);
    } else if (!g_balloonShowing) {
        ShowNextBalloon(window);
    }
    return TRUE;
}

void ShowNextBalloon(HWND window) {
    HWND list = Queue(window, IDC_BALLOON_QUEUE);
    const auto* record = list ? reinterpret_cast<const BalloonRecord*>(RowData(list, 0)) : nullptr;
    if (!record) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 0;
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_ERROR;
    data.uTimeout = record->displayTime;
    std::wstring title = IniText(g_app.iniPath, record->section, record->titleKey, 64);
    if (title.empty()) title = L"Error Message";
    wcsncpy(data.szInfoTitle, title.c_str(), 63);
    wchar_t text[260] = {};
    LoadIniText(g_app.iniPath, record->section, record->textKey, record->argument[0] ? record->argument : nullptr,
                text, sizeof text);
    wcsncpy(data.szInfo, text[0] ? text : L"Error!", 255);
    TrayNotify(NIM_MODIFY, &data);
    if (g_app.osCode == kOsCodeBalloonAnimates) AnimateErrorUnlessRequest(window);
    g_balloonShowing = true;
    SetTimer(window, kBalloonTimerId, record->displayTime, nullptr);
}

void HideBalloon(HWND window) {
    if (!g_balloonShownBySystem) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uFlags = NIF_INFO;
    TrayNotify(NIM_MODIFY, &data);
}

void OnBalloonTimer(HWND window) {
    KillTimer(window, kBalloonTimerId);
    g_balloonShowing = false;
    HideBalloon(window);
    WriteLog(L">> Hide Balloon - Timer");
}

void RemoveBalloons(HWND window, uint64_t key) {
    HWND list = Queue(window, IDC_BALLOON_QUEUE);
    if (!list) return;
    if (key) {
        LockLists();
        for (int i = ListView_GetItemCount(list) - 1; i >= 0; --i) {
            const auto* record = reinterpret_cast<const BalloonRecord*>(RowData(list, i));
            if (record && record->key == key) ListView_DeleteItem(list, i);
        }
        const bool remain = ListView_GetItemCount(list) > 0;
        UnlockLists();
        if (remain) return;
    } else {
        ListView_DeleteItem(list, 0);
    }
    // Still already: nothing to recompute (the scan reads every device of every server).
    if (TrayIsStill()) return;
    if (!AnyErrorRemains() && !IsRequestDialogOpen()) SetTrayState(window, kTrayStill, nullptr);
}

void ClearBalloonQueue(HWND window) {
    HWND list = Queue(window, IDC_BALLOON_QUEUE);
    if (!list) return;
    LockLists();
    ListView_DeleteAllItems(list);
    UnlockLists();
}

void ResetBalloons(HWND window) {
    KillTimer(window, kBalloonTimerId);
    g_balloonShowing = false;
    HideBalloon(window);
    ClearBalloonQueue(window);
    SetTrayState(window, kTrayStill, nullptr);
}

// The balloon part of the tray callback.
void OnBalloonEvent(HWND window, LPARAM event) {
    if (event == NIN_BALLOONSHOW) {
        if (!g_balloonShowing) return;
        AnimateErrorUnlessRequest(window);
        g_balloonShownBySystem = true;
        return;
    }
    g_balloonShownBySystem = false;
    if (!g_settings.errorNotice) return;
    RemoveBalloons(window, 0);
    KillTimer(window, kBalloonTimerId);
    g_balloonShowing = false;
    ShowNextBalloon(window);
}

LRESULT OnTrayQueueNotify(HWND, const NMHDR* header) {
    if (header->idFrom == IDC_BALLOON_QUEUE && header->code == LVN_DELETEITEM) {
        const auto* view = reinterpret_cast<const NMLISTVIEW*>(header);
        delete reinterpret_cast<BalloonRecord*>(view->lParam);
    } else if (header->idFrom == IDC_BALLOON_QUEUE && header->code == LVN_DELETEALLITEMS) {
        return FALSE;  // every row then gets its own LVN_DELETEITEM
    }
    return 0;
}

void QueueRequest(HWND window, uint64_t device) {
    HWND list = Queue(window, IDC_REQUEST_QUEUE);
    if (!list) return;
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%08x", static_cast<unsigned>(device));
    AppendRow(list, text, static_cast<LPARAM>(device));
}

int RemoveRequest(HWND window, uint64_t device) {
    HWND list = Queue(window, IDC_REQUEST_QUEUE);
    if (!list) return -1;
    for (int i = 0, n = ListView_GetItemCount(list); i < n; ++i) {
        if (static_cast<uint64_t>(RowData(list, i)) == device) {
            ListView_DeleteItem(list, i);
            return i;
        }
    }
    return -1;
}

int GetRequestCount(HWND window) {
    HWND list = Queue(window, IDC_REQUEST_QUEUE);
    return list ? ListView_GetItemCount(list) : 0;
}

uint64_t GetRequestAt(HWND window, int index) {
    HWND list = Queue(window, IDC_REQUEST_QUEUE);
    return list ? static_cast<uint64_t>(RowData(list, index)) : 0;
}
