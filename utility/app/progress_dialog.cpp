// The progress dialog: issues the batch on 0x81F4, answers every phase through its message
// result (progress_events.cpp holds the rules), paints the status and the animation, and ends
// on PNXN_COMPLETE.
#include "progress_dialog.h"
#include "property_dialog.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app.h"
#include "app_ids.h"
#include "bitmap_button.h"
#include "confirm_dialog.h"
#include "device_category.h"
#include "dialog_layout.h"
#include "dib.h"
#include "ini_text.h"
#include "pnx_api.h"
#include "../../client/nas_info.h"
#include "progress_events.h"
#include "device_rows.h"
#include "request_dialog.h"
#include "resource.h"
#include "theme_resources.h"
#include "user_settings.h"
#include "utility_log.h"

namespace {

constexpr UINT kErrorStyle = MB_ICONWARNING | MB_SETFOREGROUND | MB_OK;  // 0x10030
constexpr DWORD kFrameMs = 120;
constexpr SIZE_T kThreadStack = 16384;
constexpr int kIconSize = 32;

struct ProgressContext {
    HWND dialog = nullptr;
    Dib background;
    bool backgroundLoaded = false;
    HANDLE thread = nullptr;
    volatile LONG running = 0;
    volatile LONG frame = 0;
    DeviceOperationList* list = nullptr;
    ProgressState state;
};

HWND g_progress = nullptr;

ThemeOdBtnInfo g_buttons[] = {
    {theme::kBmpYesButton, 0, IDC_PROGRESS_YES, 0, 0, 0, 0, 0, 0},
    {theme::kBmpCancelButton, 0, IDC_PROGRESS_CANCEL, 0, 0, 0, 0, 0, 0},
    {theme::kBmpCancelButton, 0, IDC_PROGRESS_CLOSE, 0, 0, 0, 0, 0, 0},
    {0, 0, -1, 0, 0, 0, 0, 0, 0},
};
constexpr int kButtonCount = 3;
const int kButtonIds[kButtonCount] = {IDC_PROGRESS_YES, IDC_PROGRESS_CANCEL, IDC_PROGRESS_CLOSE};

ProgressContext* ContextOf(HWND dialog) {
    return reinterpret_cast<ProgressContext*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

bool Guided(uint8_t kind) { return kind == kBatchPropertyDialog || kind == kBatchAutoPrinter; }

RECT IconRect(HWND dialog, uint8_t kind) {
    RECT rc{};
    GetClientRect(dialog, &rc);
    if (Guided(kind)) {
        const int top = rc.top + 9, bottom = rc.bottom - 46;
        const int y = top + (bottom - top - kIconSize) / 2;
        return RECT{23, y, 23 + kIconSize, y + kIconSize};
    }
    const int y = (rc.bottom - kIconSize) / 2;
    return RECT{15, y, 15 + kIconSize, y + kIconSize};
}

RECT TextRect(HWND dialog, uint8_t kind) {
    RECT rc{};
    GetClientRect(dialog, &rc);
    if (Guided(kind)) return RECT{rc.left + 70, rc.top + 9, rc.right - 20, rc.bottom - 46};
    return RECT{rc.left + 62, rc.top + 10, rc.right - 15, rc.bottom - 10};
}

void SetButtons(HWND dialog, const ButtonPlan& plan) {
    for (int i = 0; i < kButtonCount; ++i) {
        HWND button = GetDlgItem(dialog, kButtonIds[i]);
        EnableWindow(button, (plan.enable & (1 << i)) != 0);
        ShowWindow(button, (plan.show & (1 << i)) ? SW_SHOW : SW_HIDE);
    }
    if (plan.focus) SetFocus(GetDlgItem(dialog, plan.focus));
}

void SetButtonLabel(HWND dialog, int control, const wchar_t* key) {
    std::wstring text = IniText(g_app.iniPath, L"BUTTON", key, 128);
    SetDlgItemTextW(dialog, control, text.c_str());
    InvalidateRect(GetDlgItem(dialog, control), nullptr, FALSE);
}

// The world of the phase rules: the library, the settings and the other dialogs.
class DialogHooks final : public ProgressHooks {
public:
    explicit DialogHooks(HWND dialog) : dialog_(dialog) {}
    std::wstring FavouriteName(uint64_t device) override { return DeviceFavouriteName(device); }
    std::wstring ShareName(uint64_t entry) override { return StorageShareName(entry); }
    bool IsComPortDevice(uint64_t device) override {
        UsbDeviceInfo info{};
        PropertyInfo property{};
        g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
        bool com = false;
        if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, Device(device), &info, &property) && info.locations) {
            com = info.locations[0] == 'R' || info.locations[0] == 'r';
        }
        g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
        return com;
    }
    bool RequestDialogOpen() override { return IsRequestDialogOpen(); }
    bool PermitMessageOn() override { return g_settings.permitMessage != 0; }
    INT_PTR Confirm(uint64_t handle) override { return ShowConfirmDialog(dialog_, handle); }
    void ErrorMessage(const wchar_t* key, const std::wstring& name) override {
        ErrorBox(dialog_, key, kErrorStyle, name.c_str());
    }
    // The use-request dialogs learn each device's outcome (1 or 2).
    void TellRequestDialogs(uint64_t device, int result) override { CloseRequestDialogs(Device(device), result); }
    void Buttons(const ButtonPlan& plan) override { SetButtons(dialog_, plan); }
    void Label(int control, const wchar_t* key) override { SetButtonLabel(dialog_, control, key); }
    void ConnectStop() override { g_pnx.PnxConnectStop(g_app.service); }
    void DisconnectInterruption(uint64_t device, uint16_t action) override {
        g_pnx.PnxDisconnectInterruption(g_app.service, dialog_, Device(device), action, 1);
    }
    void Repaint() override { InvalidateRect(dialog_, nullptr, FALSE); }
    void Log(const std::wstring& line) override { WriteLog(L"%s", line.c_str()); }

private:
    static HPnxDv Device(uint64_t handle) { return reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(handle)); }
    HWND dialog_;
};

DWORD WINAPI ProgressAnimationThread(void* parameter) {
    auto* context = static_cast<ProgressContext*>(parameter);
    while (context->running) {
        Sleep(kFrameMs);
        if (!context->running) break;
        const int* frames = ProgressFrames(context->state.operationCode);
        LONG next = context->frame + 1;
        if (frames[next] == 0) next = 0;
        InterlockedExchange(&context->frame, next);
        RECT icon = IconRect(context->dialog, context->state.batchKind);
        InvalidateRect(context->dialog, &icon, FALSE);
    }
    return 0;
}

void StopProgressAnimation(ProgressContext* context) {
    if (!context->thread) return;
    InterlockedExchange(&context->running, 0);
    DWORD code = STILL_ACTIVE;
    while (GetExitCodeThread(context->thread, &code) && code == STILL_ACTIVE) Sleep(1);
    CloseHandle(context->thread);
    context->thread = nullptr;
}

std::wstring StatusText(const ProgressState& state) {
    const StatusTextPlan plan = PlanStatusText(state);
    std::wstring text;
    if (plan.withName) {
        std::vector<wchar_t> line(8192, L'\0');
        LoadIniText(g_app.iniPath, plan.section, plan.key, state.displayName.c_str(), line.data(),
                    line.size() * sizeof(wchar_t));
        text = line.data();
    } else {
        text = IniText(g_app.iniPath, plan.section, plan.key, 8192);
    }
    if (plan.appendWait) text += IniText(g_app.iniPath, L"CONNECT", L"WAIT", 512);
    return text;
}

void DrawProgressText(HDC dc, ProgressState state, RECT rect) {
    const std::wstring full = state.displayName;
    auto fits = [&](const std::wstring& name) {
        state.displayName = name;
        const std::wstring text = StatusText(state);
        RECT measure = rect;
        DrawTextW(dc, text.c_str(), -1, &measure, DT_WORDBREAK | DT_CALCRECT);
        return measure.bottom <= rect.bottom && measure.right <= rect.right;
    };
    if (!full.empty()) state.displayName = FitDisplayName(full, fits);
    const std::wstring text = StatusText(state);
    DrawTextW(dc, text.c_str(), -1, &rect, DT_WORDBREAK);
}

void PaintProgressDialog(HWND dialog, ProgressContext* context) {
    PAINTSTRUCT ps;
    HDC target = BeginPaint(dialog, &ps);
    RECT rc{};
    GetClientRect(dialog, &rc);
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, rc.right, rc.bottom);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    if (IsRightToLeft()) SetLayout(mem, LAYOUT_RTL);
    FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (context->backgroundLoaded) {
        const Dib& dib = context->background;
        DrawDibPart(mem, &dib, 0, 0, rc.right, rc.bottom, 0, 0, dib.width, dib.height);
    }
    const int* frames = ProgressFrames(context->state.operationCode);
    const int id = frames[context->frame] ? frames[context->frame] : frames[0];
    if (auto icon = static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(id), IMAGE_ICON, kIconSize, kIconSize, 0))) {
        RECT at = IconRect(dialog, context->state.batchKind);
        DrawIconEx(mem, at.left, at.top, icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    }
    HGDIOBJ oldFont = SelectObject(mem, g_app.mainFont ? g_app.mainFont : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(mem, TRANSPARENT);
    DrawProgressText(mem, context->state, TextRect(dialog, context->state.batchKind));
    SelectObject(mem, oldFont);
    BitBlt(target, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
    EndPaint(dialog, &ps);
}

void PlaceButtons(HWND dialog, uint8_t kind) {
    ThemeItemInfo rows[] = {
        {IDD_PROGRESS, nullptr, nullptr, 0, 0, 0, 0},
        {IDC_PROGRESS_YES, nullptr, nullptr, 0, 0, 0, 0},
        {IDC_PROGRESS_CANCEL, nullptr, nullptr, 0, 0, 0, 0},
        {IDC_PROGRESS_CLOSE, nullptr, nullptr, 0, 0, 0, 0},
    };
    const wchar_t* keys[] = {L"YES", L"CANCEL", L"CLOSE"};
    for (int i = 0; i < kButtonCount; ++i) {
        if (g_app.themeGetItemInfo) g_app.themeGetItemInfo(&rows[i + 1], IDD_PROGRESS);
        if (g_app.themeGetOdBtnInfo) g_app.themeGetOdBtnInfo(&g_buttons[i], IDD_PROGRESS);
        HWND button = GetDlgItem(dialog, kButtonIds[i]);
        SetWindowTextW(button, IniText(g_app.iniPath, L"BUTTON", keys[i], 128).c_str());
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.mainFont), FALSE);
        SetWindowPos(button, nullptr, rows[i + 1].x, rows[i + 1].y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    InitBitmapButtons(dialog, g_buttons, kButtonCount);
    SetButtons(dialog, Guided(kind) ? ButtonPlan{kBtnCancel, 0, 0} : ButtonPlan{});
}

bool InitProgressDialog(HWND dialog, DeviceOperationList* list) {
    auto* context = new (std::nothrow) ProgressContext;
    if (!context) return false;
    context->dialog = dialog;
    context->list = list;
    context->state.batchKind = list->batchKind;
    context->state.operationCode =
        list->count > 0 && list->operations[0].code == DEVOP_CONNECT ? DEVOP_CONNECT : DEVOP_DISCONNECT;
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(context));
    if (IsRightToLeft()) SetWindowLongPtrW(dialog, GWL_EXSTYLE, GetWindowLongPtrW(dialog, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
    const int bitmap = Guided(list->batchKind) ? theme::kBmpProgressButtons : theme::kBmpProgressSmall;
    context->backgroundLoaded = LoadDib(&context->background, MAKEINTRESOURCEW(bitmap), FALSE) != FALSE;
    if (context->backgroundLoaded) {
        RECT rc{0, 0, context->background.width, context->background.height};
        AdjustWindowRectEx(&rc, GetWindowLongW(dialog, GWL_STYLE), FALSE, GetWindowLongW(dialog, GWL_EXSTYLE));
        SetWindowPos(dialog, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER);
    }
    PlaceButtons(dialog, list->batchKind);
    return true;
}

// Issues every operation in list order; when not one was queued no PNXN_COMPLETE will come,
// so the dialog ends at once instead of waiting for it.
void IssueBatch(HWND dialog, ProgressContext* context) {
    InterlockedExchange(&context->running, 1);
    context->thread = CreateThread(nullptr, kThreadStack, ProgressAnimationThread, context,
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!context->thread) InterlockedExchange(&context->running, 0);
    int queued = 0;
    DeviceOperationList& list = *context->list;
    for (int i = 0; i < list.count; ++i) {
        if (ExecuteDeviceOperation(dialog, list.operations[i], list.batchKind)) ++queued;
    }
    FreeOperations(list);
    if (queued == 0) {
        WriteLog(L"  No request was queued.");
        EndDialog(dialog, 0);
    }
}

void SetPrinterWordBit(uint64_t device) {
    UsbDeviceInfo info{};
    PropertyInfo property{};
    HPnxDv handle = reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(device));
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, handle, nullptr, &property)) {
        property.printer |= 0x0002;
        g_pnx.PnxSetUsbDeviceInfo(g_app.service, handle, &property);
    }
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
}

void OnProgressSkip(HWND dialog, ProgressContext* context) {
    ProgressState& state = context->state;
    if (state.phase != kPhaseStart || !Guided(state.batchKind)) return;
    state.statusStep = kStepPermit;
    if (state.batchKind == kBatchAutoPrinter) {
        SetButtonLabel(dialog, IDC_PROGRESS_CANCEL, L"CANCEL");
        SetButtons(dialog, ButtonPlan{kBtnCancel, 0, 0});
        InvalidateRect(dialog, nullptr, FALSE);
        g_pnx.PnxConnectStart(g_app.service, 3);
    }
}

void OnProgressCancel(HWND dialog, ProgressContext* context) {
    ProgressState& state = context->state;
    if (!Guided(state.batchKind)) return;
    if (state.phase == kPhaseStart) {
        state.statusStep = kStepPermit;
        if (state.batchKind == kBatchAutoPrinter) {
            state.declined = true;
            SetButtons(dialog, ButtonPlan{kBtnYes | kBtnCancel | kBtnClose, 0, 0});
            InvalidateRect(dialog, nullptr, FALSE);
            SetPrinterWordBit(state.device);
            g_pnx.PnxConnectStart(g_app.service, 4);
        }
    } else if (state.phase == kPhaseResult) {
        state.cancelPressed = true;
        EnableWindow(GetDlgItem(dialog, IDC_PROGRESS_CANCEL), FALSE);
        g_pnx.PnxConnectCancel(g_app.service);
        SetPrinterWordBit(state.device);
        SetButtons(dialog, ButtonPlan{kBtnCancel, 0, 0});
    }
}

void OnProgressOk(HWND dialog, ProgressContext* context) {
    ProgressState& state = context->state;
    if (state.phase != kPhaseEnd) return;
    state.displayName.clear();
    SetButtons(dialog, ButtonPlan{kBtnClose, 0, 0});
    HPnxDv device = reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(state.device));
    if (state.batchKind == kBatchPropertyDialog) {
        SetPrinterWordBit(state.device);
        g_pnx.PnxConnectStart(g_app.service, 0);
    } else if (state.batchKind == kBatchAutoPrinter) {
        const int category = GetDeviceCategory(device);
        if (category != 7 && category != 18) {
            g_pnx.PnxConnectStart(g_app.service, 0);
        } else if (state.result == 0) {
            uint32_t count = 0;
            g_pnx.PnxGetPrinterInfo(g_app.service, device, &count, nullptr, nullptr, 0);
            if (count > 0) {
                UsbDeviceInfo info{};
                PropertyInfo property{};
                g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
                if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, nullptr, &property)) {
                    property.property = static_cast<uint16_t>((property.property | 0x0008) & ~0x0001);
                    property.printer = 3;
                    g_pnx.PnxSetUsbDeviceInfo(g_app.service, device, &property);
                }
                g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
            }
            g_pnx.PnxConnectStart(g_app.service, 0);
        } else {
            SetPrinterWordBit(state.device);
            g_pnx.PnxConnectStart(g_app.service, 0);
        }
    }
    InvalidateRect(dialog, nullptr, FALSE);
}

void OnProgressDestroy(HWND dialog) {
    ProgressContext* context = ContextOf(dialog);
    if (context) {
        StopProgressAnimation(context);
        FreeBitmapButtons(dialog, g_buttons, kButtonCount);
        FreeDib(&context->background);
        if (context->list) FreeOperations(*context->list);
        delete context;
    }
    SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
    g_progress = nullptr;
    g_app.progressDialog = nullptr;
}

INT_PTR Answer(HWND dialog, LRESULT value) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, value);
    return TRUE;
}

INT_PTR OnProgressInit(HWND dialog, LPARAM lParam) {
    g_progress = dialog;
    g_app.progressDialog = dialog;
    if (!InitProgressDialog(dialog, reinterpret_cast<DeviceOperationList*>(lParam))) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return TRUE;
    }
    CenterWindow(dialog, IsMainDialogShown() ? GetWindow(dialog, GW_OWNER) : nullptr);
    PostMessageW(dialog, UM_START_WORK, 0, 0);
    return TRUE;
}

INT_PTR OnProgressCommand(HWND dialog, ProgressContext* context, int id) {
    if (!context) return TRUE;
    if (id == IDC_PROGRESS_YES) OnProgressSkip(dialog, context);
    if (id == IDC_PROGRESS_CANCEL || id == IDCANCEL) OnProgressCancel(dialog, context);
    if (id == IDC_PROGRESS_CLOSE || id == IDOK) OnProgressOk(dialog, context);
    return TRUE;
}

INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ProgressContext* context = ContextOf(dialog);
    switch (message) {
        case WM_INITDIALOG:
            return OnProgressInit(dialog, lParam);
        case UM_START_WORK:
            if (context) IssueBatch(dialog, context);
            return TRUE;
        case PNXN_CONNECT:
        case PNXN_DISCONNECT: {
            if (!context) return Answer(dialog, 0);
            DialogHooks hooks(dialog);
            const auto& event = *reinterpret_cast<const ConnectEvent*>(wParam);
            return Answer(dialog, HandleConnectEvent(context->state, message, event,
                                                     static_cast<uint64_t>(lParam), hooks));
        }
        case PNXN_NAS_CONNECT:
        case PNXN_NAS_REMOVE: {
            if (!context) return Answer(dialog, 0);
            DialogHooks hooks(dialog);
            const auto& event = *reinterpret_cast<const ConnectEvent*>(wParam);
            return Answer(dialog, HandleStorageEvent(context->state, message, event,
                                                     static_cast<uint64_t>(lParam), hooks));
        }
        case PNXN_COMPLETE:
            EndDialog(dialog, 1);
            return Answer(dialog, 1);
        case WM_COMMAND:
            return OnProgressCommand(dialog, context, LOWORD(wParam));
        case WM_CLOSE:
            // Only a dialog that could not start closes itself; Alt+F4 never ends a batch.
            if (!context) EndDialog(dialog, 0);
            return TRUE;
        case WM_SYSKEYDOWN:
            return wParam == VK_F4 ? TRUE : FALSE;
        case WM_SYSCOMMAND:
            return (wParam & 0xFFF0) == SC_CLOSE ? Answer(dialog, 0) : FALSE;
        case WM_ERASEBKGND:
            return Answer(dialog, 1);
        case WM_PAINT:
            if (context) PaintProgressDialog(dialog, context);
            return TRUE;
        case WM_DRAWITEM:
            DrawBitmapButton(dialog, nullptr, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
        case UM_FORWARD_SYSKEYDOWN:
            ShowButtonAccelerators(dialog, g_buttons, kButtonCount, TRUE);
            return TRUE;
        case UM_FORWARD_KEYDOWN:
            ShowButtonFocus(dialog, g_buttons, kButtonCount, TRUE);
            return TRUE;
        case WM_DESTROY:
            OnProgressDestroy(dialog);
            return FALSE;
        default:
            return FALSE;
    }
}

// The open device property dialog (its printer set-up connects), else the main dialog.
HWND ProgressOwner(HWND host) {
    if (HWND property = GetPropertyDialogWindow(); property && IsWindow(property)) return property;
    return g_app.mainDialog && IsWindow(g_app.mainDialog) ? g_app.mainDialog : host;
}

INT_PTR CALLBACK ProgressHostProc(HWND host, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(host, GWLP_USERDATA, lParam);
            HWND owner = ProgressOwner(host);
            SetWindowPos(host, nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            CenterWindow(host, owner);
            PostMessageW(host, UM_START_WORK, 0, 0);
            return TRUE;
        }
        case UM_START_WORK: {
            auto* list = reinterpret_cast<DeviceOperationList*>(GetWindowLongPtrW(host, GWLP_USERDATA));
            HWND owner = ProgressOwner(host);
            DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_PROGRESS), owner, ProgressDlgProc,
                            reinterpret_cast<LPARAM>(list));
            EndDialog(host, 1);
            return TRUE;
        }
        case WM_CLOSE:
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunProgressHost(HWND owner, DeviceOperationList& list) {
    DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_PROGRESS_HOST), owner, ProgressHostProc,
                    reinterpret_cast<LPARAM>(&list));
}

int ExecuteDeviceOperation(HWND dialog, const DeviceOperation& operation, uint8_t batchKind) {
    HPnxDv device = reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(operation.device));
    switch (operation.code) {
        case DEVOP_CONNECT: {
            const uint16_t wait = (batchKind == kBatchPropertyDialog || batchKind == kBatchAutoPrinter) ? 2 : 1;
            return g_pnx.PnxConnectUsbDevice(g_app.service, dialog, device, wait, operation.action, nullptr, 0);
        }
        case DEVOP_DISCONNECT:
            return g_pnx.PnxDisconnectUsbDevice(g_app.service, dialog, device, operation.action);
        case DEVOP_NAS_MOUNT:
            return g_pnx.PnxNasConnectDrive(g_app.service, dialog, device);
        case DEVOP_NAS_REMOVE:
            return g_pnx.PnxNasSafeRemove(g_app.service, dialog, device);
        default:
            return 0;
    }
}

HWND GetProgressDialogWindow() { return g_progress; }

std::wstring DeviceFavouriteName(uint64_t device) {
    UsbDeviceInfo info{};
    PropertyInfo property{};
    HPnxDv handle = reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(device));
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    std::wstring name;
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, handle, &info, &property)) {
        const char* text = property.favoriteName && *property.favoriteName ? property.favoriteName : info.name;
        if (text) {
            wchar_t wide[512] = {};
            MultiByteToWideChar(CP_OEMCP, 0, text, -1, wide, 511);
            name = wide;
        }
    }
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    return name;
}

std::wstring StorageShareName(uint64_t entry) {
    NasInfo info{};
    g_pnx.PnxInitNasInfo(g_app.service, &info);
    std::wstring name;
    if (g_pnx.PnxGetNasInfo(g_app.service, reinterpret_cast<HPnxDv>(static_cast<uintptr_t>(entry)), &info)) {
        info.name[31] = L'\0';
        name = info.name;
    }
    g_pnx.PnxFreeNasInfo(g_app.service, &info);
    return name;
}
