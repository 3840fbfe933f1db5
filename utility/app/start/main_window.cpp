// The hidden main window "QUELBO_PLUS": deferred start, activation by a second instance,
// power and session events, the request-result hand-off and the exit order.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "app.h"
#include "about_dialog.h"
#include "app_ids.h"
#include "commands.h"
#include "confirm_dialog.h"
#include "device_operations.h"
#include "device_rows.h"
#include "list_view.h"
#include "dialog_layout.h"
#include "ini_font.h"
#include "ini_text.h"
#include "owner_menu.h"
#include "operation_builders.h"
#include "pnx_api.h"
#include "request_dialog.h"
#include "tray.h"
#include "use_request_window.h"
#include "user_settings.h"
#include "utility_log.h"
#include "../../../client/usb_device_info.h"

namespace {


int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM data) {
    *reinterpret_cast<bool*>(data) = true;
    return 0;
}

bool FaceInstalled(const std::wstring& face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &wanted, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

const wchar_t* MainFontKey() {
    if (g_app.osCode >= 8) return L"MAIN_VISTA";
    std::wstring value = ReadIniValue(g_app.iniPath, L"FONT", L"MAIN_VISTA", 2048);
    std::wstring face = value.substr(0, value.find(L','));
    if (face == L"\u30E1\u30A4\u30EA\u30AA" && FaceInstalled(face)) return L"MAIN_VISTA";
    return L"MAIN";
}

void InitMainWindow(HWND window) {
    const wchar_t* mainKey = MainFontKey();
    SetTrayState(window, kTrayAdd, g_app.title);
    CreateTrayQueues(window);
    g_app.defaultFont = CreateIniFont(L"DEFAULT", g_app.iniPath);
    g_app.mainFont = CreateIniFont(mainKey, g_app.iniPath);
    CenterWindow(window, nullptr);
    CreateMainDialog();
}

// The window that takes the activation when the main dialog hides: the first visible, enabled
// top-level window below the dialog, else the first one above it, else none.
struct NextActive {
    HWND dialog = nullptr;
    bool pastDialog = false;
    HWND below = nullptr;
    HWND above = nullptr;
};

BOOL CALLBACK FindNextActive(HWND window, LPARAM data) {
    auto* next = reinterpret_cast<NextActive*>(data);
    if (window == next->dialog) {
        next->pastDialog = true;
        return TRUE;
    }
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    if (next->pastDialog) {
        next->below = window;
        return FALSE;
    }
    if (!next->above) next->above = window;
    return TRUE;
}

// Hides the main dialog at exit. ShowWindow would first restack every window the dialog owns
// above itself: the library's service window and, owned by it, each server window, one by one,
// each restacking its own; with hundreds of servers that takes seconds. Sent to the bottom as
// it hides, the dialog has nothing to restack. SetWindowPos leaves the activation where it is,
// so it is handed on here as ShowWindow hands it on.
void HideMainDialog() {
    HWND dialog = g_app.mainDialog;
    if (!dialog || !IsWindow(dialog) || !IsWindowVisible(dialog)) return;
    NextActive next;
    next.dialog = dialog;
    const bool active = GetActiveWindow() == dialog;
    if (active) EnumWindows(FindNextActive, reinterpret_cast<LPARAM>(&next));
    SetWindowPos(dialog, HWND_BOTTOM, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!active || GetActiveWindow() != dialog) return;
    HWND to = next.below ? next.below : next.above;
    if (!to || !SetForegroundWindow(to)) SetActiveWindow(nullptr);
}

void ReleaseMainWindow() {
    HideMainDialog();
    SetTrayState(g_app.mainWindow, kTrayDelete, nullptr);
    if (g_app.defaultFont) DeleteObject(g_app.defaultFont);
    if (g_app.mainFont) DeleteObject(g_app.mainFont);
    g_app.defaultFont = g_app.mainFont = nullptr;
}

// When the main dialog is its own last active popup it is shown and brought forward;
// otherwise the popup that stands over it is.
void ActivateFromOutside(LPARAM topmost) {
    HWND dialog = g_app.mainDialog;
    if (!dialog || !IsWindow(dialog)) return;
    HWND popup = GetLastActivePopup(dialog);
    if (popup == dialog) {
        PostMessageW(dialog, UM_SHOW_COMMAND, kShowCommandShow, topmost);
        ForceForeground(dialog);
    } else {
        ForceForeground(popup);
    }
}

using BlockReasonFn = BOOL(WINAPI*)(HWND, LPCWSTR);
using BlockDestroyFn = BOOL(WINAPI*)(HWND);

FARPROC User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? GetProcAddress(user32, name) : nullptr;
}

bool IsAnyDeviceInUse() { return AnyDeviceInUse(); }

// FALSE when the user chose to stay.
BOOL ConfirmExit(HWND owner, LPARAM noQuestion) {
    if (!g_app.service || !g_pnx.PnxZkuptpConnection(g_app.service) || !IsAnyDeviceInUse()) return TRUE;
    if (noQuestion != 1) {
        g_app.exitQuestionOpen = true;
        const int answer = ErrorBox(owner, L"MESSAGE01", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        g_app.exitQuestionOpen = false;
        if (answer != IDYES) {
            if (g_app.service) g_pnx.PnxResumeService(g_app.service, nullptr);
            return FALSE;
        }
    }
    g_settings.permitMessage = 0;
    g_app.ignoreDeviceLists = true;
    DisconnectAllDevices(false);
    if (g_app.mainDialog && g_app.blockReasonSet && g_app.osCode >= 8) {
        if (auto destroy = reinterpret_cast<BlockDestroyFn>(
                reinterpret_cast<void*>(User32Function("ShutdownBlockReasonDestroy")))) {
            destroy(g_app.mainWindow);
        }
    }
    return TRUE;
}

// One exit at a time: the exit question and the disconnect batch pump messages, in which a
// second exit (the tray's EXIT, a close, a log-off) would end the program under the first.
void ExitProgram(HWND window, LPARAM noQuestion) {
    if (g_app.exiting) return;
    g_app.exiting = true;
    if (g_app.service) g_pnx.PnxSuspendService(g_app.service, 0);
    HWND owner = IsMainDialogShown() ? g_app.mainDialog : window;
    if (!ConfirmExit(owner, noQuestion)) {
        g_app.exiting = false;
        return;
    }
    EndRequestDialogs();
    ResetBalloons(window);
    HideMainDialog();
    if (g_app.service) {
        g_pnx.PnxEndService(g_app.service);
        g_pnx.PnxUnRegisterNotification(g_app.service);
        g_app.service = nullptr;
    }
    ReleaseMainWindow();
    if (g_app.mainDialog && IsWindow(g_app.mainDialog)) DestroyWindow(g_app.mainDialog);
    StopRequestService(g_app.instance);
    DestroyWindow(window);
}

LRESULT OnQueryEndSession(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_app.queryAnswered) {
        g_app.queryAnswered = false;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (!g_app.service || !g_pnx.PnxZkuptpConnection(g_app.service)) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (g_app.mainDialog && g_app.osCode >= 8) {
        if (auto create = reinterpret_cast<BlockReasonFn>(
                reinterpret_cast<void*>(User32Function("ShutdownBlockReasonCreate")))) {
            wchar_t reason[260] = {};
            LoadIniText(g_app.iniPath, L"ERROR", L"MESSAGE15", nullptr, reason, sizeof reason);
            create(window, reason);
            g_app.blockReasonSet = true;
        }
    }
    // A question that stands (a permit question of a batch, or the exit question itself)
    // decides: the query is held once and marked, and the next one is let through. A running
    // batch holds it too. Otherwise the program exits at once, without a question.
    const bool questionOpen = GetConfirmDialogWindow() != nullptr || g_app.exitQuestionOpen;
    if (!questionOpen && !g_app.progressDialog && !g_app.exiting) {
        SendMessageW(window, UM_EXIT, 0, 1);
    } else if (questionOpen) {
        g_app.queryAnswered = true;
    }
    return 0;
}

// Set from the suspend's disconnect to the resume's reconnect, so that each runs once.
bool g_powerSuspended = false;

void DisconnectForSuspend() {
    g_powerSuspended = true;
    if (g_app.service) g_pnx.PnxSuspendService(g_app.service, 0);
    g_app.ignoreDeviceLists = true;
    if (g_settings.permitMessage) {
        g_settings.permitMessage = 0;
        g_app.permitSuspended = true;
    }
    DisconnectAllDevices(true);
}

void ReconnectAfterSuspend() {
    g_powerSuspended = false;
    g_app.ignoreDeviceLists = false;
    if (g_app.service) g_pnx.PnxResumeService(g_app.service, nullptr);
    if (g_app.permitSuspended) {
        g_settings.permitMessage = 1;
        g_app.permitSuspended = false;
    }
    ReconnectDevices();
}

// Windows before Vista asks first (PBT_APMQUERYSUSPEND, then PBT_APMSUSPEND); later ones only
// announce the suspend. Every resume brings PBT_APMRESUMEAUTOMATIC, and PBT_APMRESUMESUSPEND
// too when a user is there. A refused suspend (PBT_APMQUERYSUSPENDFAILED) never resumes, so it
// undoes the disconnect at once.
LRESULT OnPowerBroadcast(HWND window, WPARAM event, LPARAM lParam) {
    switch (event) {
        case PBT_APMQUERYSUSPEND:
            if (g_app.progressDialog) return BROADCAST_QUERY_DENY;
            if (!g_powerSuspended) DisconnectForSuspend();
            break;
        case PBT_APMSUSPEND:
            if (!g_powerSuspended) DisconnectForSuspend();
            break;
        case PBT_APMQUERYSUSPENDFAILED:
        case PBT_APMRESUMESUSPEND:
        case PBT_APMRESUMEAUTOMATIC:
            if (g_powerSuspended) ReconnectAfterSuspend();
            break;
        default:
            break;
    }
    return DefWindowProcW(window, WM_POWERBROADCAST, event, lParam);
}

// The application mark of the device's list row (set while a watched application of it runs).
bool ApplicationMark(HPnxDv device) {
    HWND list = g_app.mainDialog ? GetDlgItem(g_app.mainDialog, IDC_DEVICE_LIST) : nullptr;
    if (!list) return false;
    for (ListRowRecord* record : ListGetAllRecords(list)) {
        if (record && record->handle == reinterpret_cast<uint64_t>(device)) return record->applicationMark != 0;
    }
    return false;
}

// A request dialog closed (wParam: answer << 16 | origin, lParam: its device); then the next
// device of the Request queue, which a watched application wanted while the dialog was open.
// An empty queue ends the hand-off instead of re-posting forever.
void OnRequestResult(HWND window, WPARAM wParam, LPARAM lParam) {
    const uint16_t origin = LOWORD(wParam);
    const uint16_t answer = HIWORD(wParam);
    auto answered = reinterpret_cast<HPnxDv>(lParam);
    if (origin == kRequestOriginApplication && answered && g_app.service) {
        const bool mark = ApplicationMark(answered);
        if (answer == 0) g_pnx.PnxDeleteAutoConnect(g_app.service, answered, kRequestOriginApplication);
        if (answer == 2 && mark) g_pnx.PnxSetAutoConnect(g_app.service, answered, kRequestOriginApplication);
    }
    if (GetRequestCount(window) == 0) return;
    const uint64_t taken = GetRequestAt(window, 0);
    RemoveRequest(window, taken);
    auto next = reinterpret_cast<HPnxDv>(taken);
    // The queued device's own mark decides: it was queued when its watched application
    // started, and goes on only while that application still runs.
    if (!next || !ApplicationMark(next)) {
        PostMessageW(window, UM_REQUEST_RESULT, 0x10001, 0);
        return;
    }
    switch (DeviceStatus(reinterpret_cast<uint64_t>(next))) {
        case kDeviceStatusFree: {
            DeviceOperationList list;
            if (!AllocateOperations(list, 1)) return;
            list.operations[0] = {reinterpret_cast<uint64_t>(next), DEVOP_CONNECT, kActionApplication};
            RunDeviceOperations(g_app.mainDialog, nullptr, list);
            break;
        }
        case kDeviceStatusConnected:
            break;
        case kDeviceStatusOtherPc:
            SendUseRequest(g_app.mainDialog, next, kRequestOriginApplication);
            break;
        default:
            if (g_app.service) g_pnx.PnxSetAutoConnect(g_app.service, next, kRequestOriginApplication);
            break;
    }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            PostMessageW(window, UM_START_WORK, 0, 0);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_QUERYENDSESSION:
            return OnQueryEndSession(window, message, wParam, lParam);
        case WM_ENDSESSION:
            return 0;
        case WM_MEASUREITEM:
            OnMeasureMenuItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return 1;
        case WM_DRAWITEM:
            OnDrawMenuItem(window, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return 1;
        case WM_MENUCHAR:
            return OnMenuChar(window, LOWORD(wParam), reinterpret_cast<HMENU>(lParam));
        case WM_TIMER:
            if (wParam == kBalloonTimerId) OnBalloonTimer(window);
            return 0;
        case WM_NOTIFY:
            return OnTrayQueueNotify(window, reinterpret_cast<const NMHDR*>(lParam));
        case WM_POWERBROADCAST:
            return OnPowerBroadcast(window, wParam, lParam);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kShowCommandShow:
                case kShowCommandHide:
                    if (g_app.mainDialog) PostMessageW(g_app.mainDialog, UM_SHOW_COMMAND, LOWORD(wParam), 0);
                    return 0;
                case kCommandOptions:
                    ShowOptionsAroundList(g_app.mainDialog, 0);
                    return 0;
                case kCommandExit:
                    PostMessageW(window, UM_EXIT, 0, 0);
                    return 0;
                case kCmdHelpCompany:  // the tray's HELP item: the help file
                    ExecuteHelpCommand(g_app.mainDialog, kCmdHelpMain);
                    return 0;
                case kCmdAbout:
                    ShowAboutDialog(g_app.mainDialog);
                    return 0;
                default:
                    OnTrayMenuCommand(window, LOWORD(wParam));
                    return 0;
            }
        case UM_START_WORK:
            InitMainWindow(window);
            return 0;
        case UM_ACTIVATE_INSTANCE:
            ActivateFromOutside(0);
            return 0;
        case UM_ACTIVATE_MAIN:
            ActivateFromOutside(1);
            return 0;
        case UM_TRAY_CALLBACK:
            OnTrayCallback(window, lParam);
            return 0;
        case UM_TRAY_MENU:
            ShowTrayMenu(window);
            return 0;
        case UM_EXIT:
            ExitProgram(window, lParam);
            return 0;
        case UM_REQUEST_RESULT_POST:
            PostMessageW(window, UM_REQUEST_RESULT, wParam, lParam);
            return 0;
        case UM_REQUEST_RESULT:
            OnRequestResult(window, wParam, lParam);
            return 0;
        case UM_REQUEST_RECORD:
            OnRemoteRequest(window, wParam, lParam);
            return 0;
        case 0x8212:
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
