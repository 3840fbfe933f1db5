// The requester dialog, the answer dialog and the holder's automatic answers.
#include "request_dialog.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "about_dialog.h"
#include "app.h"
#include "app_ids.h"
#include "device_operations.h"
#include "device_rows.h"
#include "ini_text.h"
#include "list_view.h"
#include "notify_handlers.h"
#include "pnx_api.h"
#include "progress_dialog.h"
#include "property_dialog.h"
#include "request_options.h"
#include "toast_window.h"
#include "tray.h"
#include "use_request_window.h"
#include "user_settings.h"
#include "utility_log.h"
#include "../../client/server_entry.h"
#include "../../client/usb_device_info.h"

HWND GetOptionsDialogWindow();

namespace {

constexpr UINT_PTR kAnswerTimer = 1;        // no answer at all
constexpr UINT_PTR kReportTimer = 2;        // no time report after an acceptance
constexpr UINT kAnswerMs = 5000;
constexpr UINT kReportMs = 30000;

enum RequestAnswer : UINT { kAnswerNone = 0, kAnswerConnected = 1, kAnswerFailed = 2 };
enum DialogKind : int { kKindNone = 0, kKindRequester = 1, kKindAnswer = 2 };

struct RequestContext {
    DWORD peer = 0;
    UseRequestRecord record{};
    HPnxDv device = nullptr;
    HWND client = nullptr;
    UINT closing = 0;
    UINT answer = kAnswerNone;
    uint16_t origin = kRequestOriginButton;
    uint16_t lastCommand = 0;
    std::string displayName;       // OEM code page, as the texts take it
};

struct RequestDialogs {
    int kind = kKindNone;
    HWND requester = nullptr;
    HWND answer = nullptr;
    HWND open = nullptr;
    RequestContext context;
    Toast toast;
};
RequestDialogs g_dialogs;

RequestContext& Context() { return g_dialogs.context; }

std::wstring Wide(const char* text, UINT codePage = CP_ACP) {
    wchar_t wide[2100] = {};
    if (text) MultiByteToWideChar(codePage, 0, text, -1, wide, 2099);
    return wide;
}

std::string OtherName() {
    std::string name = Context().record.otherPcName;
    UpperRequestText(name.data());
    return name;
}

const char* Device() { return Context().displayName.c_str(); }

void Message(const wchar_t* key, const char* first, const char* second) {
    SetToastMessage(g_dialogs.toast, LayoutRequestText(g_dialogs.toast, false, key, first, second));
}

void Lower(const wchar_t* key, const char* first = "", const char* second = nullptr) {
    SetToastLower(g_dialogs.toast, key ? LayoutRequestText(g_dialogs.toast, true, key, first, second) : L"");
}

void Show(HWND dialog, int id, bool show) { ShowToastButton(dialog, id, show); }

void SetButtonText(HWND dialog, int id, const wchar_t* key) {
    SetDlgItemTextW(dialog, id, IniText(g_app.iniPath, L"BUTTON", key, 128).c_str());
    InvalidateRect(GetDlgItem(dialog, id), nullptr, FALSE);
}

void Focus(HWND dialog, int id) { SetFocus(GetDlgItem(dialog, id)); }

// The display name: the device's favourite name when it has one, else the record's name.
std::string DisplayNameOf(HPnxDv device, const char* fallback) {
    std::string name = fallback ? fallback : "";
    if (!device || !g_app.service) return name;
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &info, &property) == 1 && property.favoriteName &&
        property.favoriteName[0]) {
        name.assign(property.favoriteName, strnlen(property.favoriteName, kRequestDeviceNameSize - 1));
    }
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    return name;
}

void RunOneOperation(HWND dialog, UINT code, uint16_t action) {
    DeviceOperationList list;
    if (!AllocateOperations(list, 1)) return;
    list.operations[0] = {reinterpret_cast<uint64_t>(Context().device), code, action};
    list.batchKind = kBatchPlain;
    RunDeviceOperations(dialog, dialog, list);
}

void CommonInit(HWND dialog, int kind) {
    g_dialogs.kind = kind;
    g_dialogs.open = dialog;
    (kind == kKindRequester ? g_dialogs.requester : g_dialogs.answer) = dialog;
    SetTrayState(g_app.mainWindow, kTrayAnimateRequest, nullptr);
    InitToast(dialog, g_dialogs.toast);
    for (int id : {IDC_ANSWER_YES, IDC_ANSWER_NO, IDCANCEL}) EnableWindow(GetDlgItem(dialog, id), FALSE);
    Show(dialog, IDC_ANSWER_YES, false);
    Show(dialog, IDC_ANSWER_NO, false);
    Context().displayName = DisplayNameOf(Context().device, Context().record.deviceName);
    SetToastTitle(g_dialogs.toast, IniText(g_app.iniPath, L"REQUEST", L"TITLE", 1023));
}

// Slid out: the dialog ends, and the hidden main window learns the answer.
void FinishDialog(HWND dialog) {
    const RequestContext& c = Context();
    const UINT answer = g_dialogs.kind == kKindRequester ? c.answer : 1;
    PostMessageW(g_app.mainWindow, UM_REQUEST_RESULT_POST, (static_cast<WPARAM>(c.answer) << 16) | c.origin,
                 reinterpret_cast<LPARAM>(c.device));
    EndDialog(dialog, answer);
}

void OnDialogDestroy() {
    FreeToast(g_dialogs.toast);
    g_dialogs.requester = g_dialogs.answer = g_dialogs.open = nullptr;
    g_dialogs.kind = kKindNone;
    SetTrayState(g_app.mainWindow, GetTrayState(g_app.mainWindow, kTrayQuestionBalloons), nullptr);
}

// --- The requester.

void ShowRequestWaiting(HWND dialog) {
    RequestContext& c = Context();
    Show(dialog, IDC_ANSWER_NO, false);
    Show(dialog, IDC_ANSWER_YES, false);
    Show(dialog, IDCANCEL, true);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
    SetButtonText(dialog, IDCANCEL, L"CANCEL");
    Focus(dialog, IDCANCEL);
    SetToastTitle(g_dialogs.toast, IniText(g_app.iniPath, L"REQUEST", L"TITLE", 1023));
    const std::string other = OtherName();
    Message(L"MSG00", Device(), other.c_str());
    Lower(nullptr);
    c.answer = kAnswerNone;
    c.lastCommand = 0;
    // An exchange that ended (busy, not found) took its client window with it: ask anew.
    if (c.client && IsWindow(c.client)) {
        SendRequest(c.client);
    } else {
        c.client = CreateRequestClient(dialog, c.peer, &c.record);
    }
    c.closing = 0;
    SetTimer(dialog, kAnswerTimer, kAnswerMs, nullptr);
}

void ShowRequestResult(HWND dialog, int which) {
    RequestContext& c = Context();
    c.closing = 1;
    const std::string other = OtherName();
    if (which == 1) {
        KillTimer(dialog, kAnswerTimer);
        c.answer = kAnswerFailed;
        Show(dialog, IDC_ANSWER_YES, false);
        Show(dialog, IDC_ANSWER_NO, false);
        Show(dialog, IDCANCEL, true);
        EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
        SetButtonText(dialog, IDCANCEL, L"CLOSE");
        Message(L"MSG09", other.c_str(), other.c_str());
        Lower(nullptr);
    } else {
        KillTimer(dialog, kReportTimer);
        c.answer = kAnswerNone;
        StopRequestCountdown(c.client);
        Show(dialog, IDCANCEL, false);
        Show(dialog, IDC_ANSWER_NO, true);
        Show(dialog, IDC_ANSWER_YES, true);
        for (int id : {IDC_ANSWER_NO, IDC_ANSWER_YES}) EnableWindow(GetDlgItem(dialog, id), TRUE);
        Message(L"MSG08", Device(), other.c_str());
        Lower(L"MSG05");
    }
}

void ShowRequestClosed(HWND dialog) {
    Show(dialog, IDC_ANSWER_NO, false);
    Show(dialog, IDC_ANSWER_YES, false);
    Show(dialog, IDCANCEL, true);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
    SetButtonText(dialog, IDCANCEL, L"CLOSE");
    Message(L"MSG10", Device(), nullptr);
}

void OnRequestAnswer(HWND dialog, const UseRequestRecord* record) {
    if (!record) return;
    RequestContext& c = Context();
    KillTimer(dialog, kReportTimer);
    c.closing = 0;
    auto copy = [&] { c.record = *record; };
    const std::string other = [&] {
        std::string name = record->otherPcName;
        UpperRequestText(name.data());
        return name;
    }();
    switch (record->command) {
        case SRU_ACCEPT:
            copy();
            Show(dialog, IDC_ANSWER_NO, false);
            Show(dialog, IDC_ANSWER_YES, false);
            Show(dialog, IDCANCEL, true);
            EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
            Focus(dialog, IDCANCEL);
            Message(L"MSG03", Device(), other.c_str());
            break;
        case SRU_REFUSE:
            copy();
            c.answer = kAnswerNone;
            KillTimer(dialog, kAnswerTimer);
            Show(dialog, IDCANCEL, false);
            Show(dialog, IDC_ANSWER_NO, true);
            Show(dialog, IDC_ANSWER_YES, true);
            for (int id : {IDC_ANSWER_NO, IDC_ANSWER_YES}) EnableWindow(GetDlgItem(dialog, id), TRUE);
            Focus(dialog, IDC_ANSWER_YES);
            Message(L"MSG04", Device(), other.c_str());
            Lower(L"MSG05");
            break;
        case SRU_RELEASED:
            copy();
            c.answer = kAnswerConnected;
            KillTimer(dialog, kAnswerTimer);
            Message(L"MSG07", Device(), nullptr);
            Lower(nullptr);
            EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
            c.lastCommand = record->command;
            WriteLog(L"  Request: %s released, connecting", Wide(Device(), CP_OEMCP).c_str());
            RunOneOperation(dialog, DEVOP_CONNECT, c.origin);
            StartSlideOut(g_dialogs.toast);
            return;
        case SRU_BUSY:
            c.answer = kAnswerFailed;
            KillTimer(dialog, kAnswerTimer);
            SetButtonText(dialog, IDCANCEL, L"CLOSE");
            Message(L"MSG06", other.c_str(), nullptr);
            break;
        case SRU_PORT:
            copy();
            KillTimer(dialog, kAnswerTimer);
            SetTimer(dialog, kReportTimer, kReportMs, nullptr);
            break;
        case SRU_NOT_FOUND:
            c.answer = kAnswerFailed;
            KillTimer(dialog, kAnswerTimer);
            ShowRequestClosed(dialog);
            break;
        case SRU_COUNTDOWN:
            copy();
            KillTimer(dialog, kAnswerTimer);
            SetTimer(dialog, kReportTimer, kReportMs, nullptr);
            SetRequestAnswerText(g_dialogs.toast, record->seconds);
            break;
        case SRU_TIME:
            SetTimer(dialog, kReportTimer, kReportMs, nullptr);
            SetRequestAnswerText(g_dialogs.toast, record->seconds);
            break;
        default:
            return;
    }
    c.lastCommand = record->command;
}

void WithdrawAndClose() {
    RequestContext& c = Context();
    if (c.lastCommand != SRU_ACCEPT) {
        CancelRequest(c.client);
        c.client = nullptr;
    }
    StartSlideOut(g_dialogs.toast);
}

BOOL InitRequester(HWND dialog) {
    RequestContext& c = Context();
    CommonInit(dialog, kKindRequester);
    const std::string other = OtherName();
    Message(L"MSG00", Device(), other.c_str());
    Lower(nullptr);
    c.answer = kAnswerNone;
    c.lastCommand = 0;
    c.client = CreateRequestClient(dialog, c.peer, &c.record);
    c.closing = 0;
    SetTimer(dialog, kAnswerTimer, kAnswerMs, nullptr);
    Show(dialog, IDCANCEL, true);
    SlideInToast(g_dialogs.toast);
    return FALSE;
}

INT_PTR CALLBACK RequestDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (g_dialogs.toast.dialog == dialog && ToastCommonMessage(g_dialogs.toast, message, wParam, lParam, &result)) {
        return result;
    }
    switch (message) {
        case WM_INITDIALOG:
            return InitRequester(dialog);
        case WM_TIMER:
            if (wParam == kAnswerTimer) ShowRequestResult(dialog, 1);
            if (wParam == kReportTimer) ShowRequestResult(dialog, 2);
            return TRUE;
        case UM_REQUEST_RECORD:
            OnRequestAnswer(dialog, reinterpret_cast<const UseRequestRecord*>(wParam));
            return TRUE;
        case UM_START_WORK:
            Focus(dialog, static_cast<int>(wParam));
            return TRUE;
        case UM_TOAST_SLID:
            if (wParam == 0) FinishDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:
                    WithdrawAndClose();
                    break;
                case IDC_ANSWER_NO:
                    if (Context().closing == 0) {
                        CloseRequestClient(Context().client);
                        Context().client = nullptr;
                        StartSlideOut(g_dialogs.toast);
                    } else {
                        WithdrawAndClose();
                    }
                    break;
                case IDC_ANSWER_YES:
                    ShowRequestWaiting(dialog);
                    break;
                default:
                    break;
            }
            return TRUE;
        case WM_DESTROY:
            KillTimer(dialog, kAnswerTimer);
            KillTimer(dialog, kReportTimer);
            CloseRequestClient(Context().client);
            Context().client = nullptr;
            OnDialogDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

// --- The holder.

BOOL InitAnswer(HWND dialog) {
    RequestContext& c = Context();
    CommonInit(dialog, kKindAnswer);
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Show(dialog, IDCANCEL, false);
    Show(dialog, IDC_ANSWER_YES, true);
    Show(dialog, IDC_ANSWER_NO, true);
    const std::string other = OtherName();
    if (c.record.seconds) {
        Message(L"MSG13", Device(), other.c_str());
        SetRequestAnswerText(g_dialogs.toast, c.record.seconds);
    } else {
        Message(L"MSG01", Device(), other.c_str());
        Lower(L"MSG02");
    }
    SlideInToast(g_dialogs.toast);
    return FALSE;
}

INT_PTR CALLBACK AnswerDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (g_dialogs.toast.dialog == dialog && ToastCommonMessage(g_dialogs.toast, message, wParam, lParam, &result)) {
        return result;
    }
    switch (message) {
        case WM_INITDIALOG:
            return InitAnswer(dialog);
        case UM_START_WORK:
            Focus(dialog, static_cast<int>(wParam));
            return TRUE;
        case UM_TOAST_SLID:
            if (wParam == 1) {
                SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            } else {
                FinishDialog(dialog);
            }
            return TRUE;
        case UM_REQUEST_CANCELLED:
            StartSlideOut(g_dialogs.toast);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_ANSWER_NO) {
                WriteLog(L"    --> Refuse.");
                SendRequestRefused();
                StartSlideOut(g_dialogs.toast);
            } else if (LOWORD(wParam) == IDC_ANSWER_YES) {
                if (!IsWindowEnabled(GetDlgItem(dialog, IDC_ANSWER_YES))) return TRUE;
                SendRequestAccepted();
                EnableWindow(GetDlgItem(dialog, IDC_ANSWER_YES), FALSE);
                EnableWindow(GetDlgItem(dialog, IDC_ANSWER_NO), FALSE);
                RunOneOperation(dialog, DEVOP_DISCONNECT, kActionButton);
                // The runner reports the outcome through CloseRequestDialogs; when it could not
                // run at all, the device's state decides the answer.
                if (!g_dialogs.toast.slidingOut) {
                    CloseRequestDialogs(Context().device,
                                        DeviceStatus(reinterpret_cast<uint64_t>(Context().device)) ==
                                                kDeviceStatusConnected
                                            ? 2
                                            : 1);
                }
            }
            return TRUE;
        case WM_DESTROY:
            OnDialogDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR RunAnswerDialog(HWND owner) {
    return DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_REQUEST_TOAST), owner, AnswerDlgProc, 0);
}

bool HolderBusyWithDialog() {
    return GetAboutDialogWindow() || GetPropertyDialogWindow() || GetOptionsDialogWindow() ||
           GetProgressDialogWindow() || g_app.progressDialog;
}

std::wstring HardwareText(const uint8_t* mac) {
    wchar_t text[24];
    std::swprintf(text, 24, L"%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

void OnRemoteRequestArrived(HWND owner, const UseRequestRecord& record, DWORD peer) {
    if (g_dialogs.open) EndDialog(g_dialogs.open, 1);
    WriteLog(L"*** SRU REQUEST ***");
    WriteLog(L"  From PC      :%s", Wide(record.otherPcName).c_str());
    WriteLog(L"  Target Device: %s(%s - %s)", Wide(record.deviceName).c_str(), HardwareText(record.hardwareAddress).c_str(),
             Wide(record.locations).c_str());
    RequestContext& c = Context();
    c = RequestContext{};
    c.record = record;
    c.peer = peer;
    c.origin = kRequestOriginButton;
    DeviceLookup lookup{};
    std::memcpy(lookup.hardwareAddress, record.hardwareAddress, 6);
    lookup.name = c.record.deviceName;
    lookup.locations = c.record.locations;
    lookup.vid = record.vendorId;
    lookup.pid = record.productId;
    c.device = g_app.service ? g_pnx.PnxGetHPnxDv(g_app.service, &lookup) : nullptr;
    if (!c.device) {
        WriteLog(L"    --> Not Found.");
        SendDeviceNotFound();
        return;
    }
    const uint16_t status = DeviceStatus(reinterpret_cast<uint64_t>(c.device));
    if (HolderBusyWithDialog()) {
        WriteLog(L"    --> Refuse.");
        SendRequestRefused();
        return;
    }
    RequestOptions options;
    LoadRequestOptions(c.device, &options);
    const bool countdown = (options.flags & kRequestOptionCountdown) != 0;
    SendReleaseCountdown(countdown ? TRUE : FALSE, options.seconds);
    c.record.seconds = countdown ? options.seconds : 0;
    switch (status) {
        case kDeviceStatusFree:
        case kDeviceStatusOtherPc:
            WriteLog(L"    --> Disconnect OK.");
            SendDeviceReleased();
            break;
        case kDeviceStatusNoDevice:
        case kDeviceStatusError:
            WriteLog(L"    --> Not Found.");
            SendDeviceNotFound();
            break;
        default:
            RunAnswerDialog(owner);
            break;
    }
}

HPnxDv AsDevice(uint64_t handle) { return reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(handle)); }

}  // namespace

INT_PTR SendUseRequest(HWND owner, HPnxDv device, uint16_t origin) {
    if (g_dialogs.open) {
        ErrorBox(owner, L"MESSAGE18", MB_OK | MB_ICONWARNING);
        return -1;
    }
    if (!device || !g_app.service) return -1;
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &info, &property) != 1) {
        g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
        return -1;
    }
    ServerInfo server{};
    g_pnx.PnxGetServerInfo(g_app.service, g_pnx.PnxGetHPnxSv(g_app.service, device), &server);
    RequestContext& c = Context();
    c = RequestContext{};
    c.peer = info.userAddress;
    c.device = device;
    c.origin = origin;
    UseRequestRecord& r = c.record;
    r.command = SRU_REQUEST;
    std::memcpy(r.hardwareAddress, server.hardwareAddress, 6);
    r.vendorId = info.vid;
    r.productId = info.pid;
    CopyRequestText(r.deviceName, sizeof r.deviceName, info.name ? info.name : "");
    CopyRequestText(r.locations, sizeof r.locations, info.locations ? info.locations : "");
    char user[sizeof info.userPcName + 1] = {};
    std::memcpy(user, info.userPcName, sizeof info.userPcName);
    CopyRequestText(r.otherPcName, sizeof r.otherPcName, user);
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    DWORD size = sizeof r.ownPcName - 1;
    if (!GetComputerNameA(r.ownPcName, &size)) r.ownPcName[0] = '\0';
    if (c.peer == 0 || c.peer == 0xFFFFFFFFu) return -1;
    return DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_REQUEST_TOAST), owner, RequestDlgProc, 0);
}

void OnRequestButton(HWND mainDialog) {
    if (!mainDialog) return;
    HWND list = GetDlgItem(mainDialog, IDC_DEVICE_LIST);
    uint64_t target = 0;
    if (g_settings.mainView == 1) {
        const TreeSelection selection = MainTreeSelection();
        if (selection.device && !selection.storage && DeviceStatus(selection.device) == kDeviceStatusOtherPc) {
            target = selection.device;
        }
    } else {
        const std::vector<ListRowRef> rows = MainListRows();
        int index = -1;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].selected && !rows[i].storage && DeviceStatus(rows[i].handle) == kDeviceStatusOtherPc) {
                target = rows[i].handle;
                index = static_cast<int>(i);
                break;
            }
        }
        if (target) ListSelectOnly(list, index);
    }
    if (target) SendUseRequest(mainDialog, AsDevice(target), kRequestOriginButton);
}

void OnRemoteRequest(HWND owner, WPARAM recordAddress, LPARAM peerIPv4) {
    const auto* record = reinterpret_cast<const UseRequestRecord*>(recordAddress);
    if (!record) return;
    switch (record->command) {
        case SRU_REQUEST:
            OnRemoteRequestArrived(owner, *record, static_cast<DWORD>(peerIPv4));
            break;
        case SRU_CANCEL:
            WriteLog(L"*** SRU CANCEL ***");
            if (g_dialogs.open) SendMessageW(g_dialogs.open, UM_REQUEST_CANCELLED, 0, 0);
            break;
        case SRU_TIME:
            if (g_dialogs.answer) {
                SetRequestAnswerText(g_dialogs.toast, record->seconds);
                if (record->seconds == 0) PostMessageW(g_dialogs.answer, WM_COMMAND, IDC_ANSWER_YES, 0);
            }
            break;
        default:
            break;
    }
}

void CloseRequestDialogs(HPnxDv device, int result) {
    RequestContext& c = Context();
    if (!device || device != c.device) return;
    if (g_dialogs.requester) {
        if (result == 1) {
            c.answer = kAnswerConnected;
        } else if (result == 2) {
            c.answer = kAnswerFailed;
        } else {
            CancelRequest(c.client);
            c.client = nullptr;
            c.answer = kAnswerNone;
        }
    } else if (g_dialogs.answer) {
        if (result == 1) {
            SendDeviceReleased();
            c.answer = kAnswerConnected;
        } else if (result == 2) {
            SendDeviceNotFound();
            c.answer = kAnswerFailed;
        } else {
            c.answer = kAnswerNone;
        }
    } else {
        return;
    }
    StartSlideOut(g_dialogs.toast);
}

HWND GetRequestDialogWindow() { return g_dialogs.requester; }
HWND GetAnswerDialogWindow() { return g_dialogs.answer; }
int GetRequestDialogKind() { return g_dialogs.kind; }
bool IsRequestDialogOpen() { return g_dialogs.open != nullptr; }

int IsRequestForDevice(HPnxDv device) {
    if (!g_dialogs.open) return -1;
    if (g_dialogs.kind == kKindAnswer) return 0;
    return Context().device == device ? 1 : 2;
}

void EndRequestDialogs() {
    if (!g_dialogs.open) return;
    if (g_dialogs.kind == kKindRequester) CancelRequest(Context().client);
    Context().client = nullptr;
    EndDialog(g_dialogs.open, 0);
}

BOOL StartRequestService(HINSTANCE instance, HWND mainWindow) {
    RequestDialogHooks hooks;
    hooks.requesterDialog = [] { return g_dialogs.requester; };
    hooks.requesterDevice = [] { return Context().device; };
    hooks.ownerDialog = [] { return g_dialogs.answer; };
    hooks.deviceChanged = [](HPnxDv device, int code) { CloseRequestDialogs(device, code); };
    SetRequestDialogHooks(hooks);
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(computer, &size)) computer[0] = L'\0';
    return CreateRequestServer(instance, mainWindow, computer);
}

void StopRequestService(HINSTANCE instance) {
    EndRequestDialogs();
    DestroyRequestWindows(instance);
}
