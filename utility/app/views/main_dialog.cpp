// The main dialog (1001): the skinned frame with its eight bitmap buttons, the device list and
// the server tree (one shown at a time), tooltips, sizing and the background.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <cwchar>

#include "app.h"
#include "app_ids.h"
#include "tray.h"
#include "bitmap_button.h"
#include "button_states.h"
#include "commands.h"
#include "context_menus.h"
#include "tree_view.h"
#include "dialog_layout.h"
#include "dib.h"
#include "ini_text.h"
#include "list_view.h"
#include "notify_handlers.h"
#include "owner_menu.h"
#include "pnx_api.h"
#include "request_dialog.h"
#include "resource.h"
#include "storage_items.h"
#include "theme_resources.h"
#include "tree_view.h"
#include "user_settings.h"
#include "utility_log.h"
#include "view_batch.h"

namespace {

constexpr int kButtonCount = 8;
constexpr UINT kRefreshTimer = 1;

struct MainDialogState {
    HWND list = nullptr;
    HWND tree = nullptr;
    HWND tooltips = nullptr;
    HHOOK hook = nullptr;
    bool refreshLockedOut = false;
    bool inSizeMove = false;
    int lastWidth = 0;
    int lastHeight = 0;
    int minWidthBase = 0;
    int minHeightBase = 0;
    Dib pieces[9];
    bool piecesLoaded = false;
    // The tip keys that CONNECT and DISCONNECT show: the buttons are recomputed after every
    // burst of notices, and a tip is read from the message file only when its key changes.
    std::wstring connectTip, disconnectTip;
    // The action buttons' windows, looked up once per dialog (each look-up asks the system).
    HWND buttonsOf = nullptr;
    HWND actionButtons[4] = {};
};
MainDialogState g_main;

const int kPieceIds[9] = {theme::kBmpFrameTopLeft,    theme::kBmpFrameTopRight, theme::kBmpFrameTop,
                          theme::kBmpFrameBottomLeft, theme::kBmpFrameLeft,     theme::kBmpFrameBottomRight,
                          theme::kBmpFrameRight,      theme::kBmpFrameBottom,   theme::kBmpLogo};

ThemeItemInfo g_layout[] = {
    {IDD_MAIN, L"TITLE", L"MAIN", 0, 0, 0, 0},
    {IDC_REFRESH, nullptr, nullptr, 0, 0, 0, 0},
    {IDC_SWITCH, nullptr, nullptr, 0, 0, 0, 0},
    {IDC_OPTION, nullptr, nullptr, 0, 0, 0, 0},
    {IDC_HELPBUTTON, nullptr, nullptr, 0, 0, 0, 0},
    {IDC_DEVICE_LIST, L"MAIN", nullptr, 0, 0, 0, 0},
    {IDC_TREE, L"MAIN", nullptr, 0, 0, 0, 0},
    {IDC_PROPERTY, nullptr, nullptr, 0, 0, 0, 0},
    {IDC_REQUEST, nullptr, nullptr, 0, 0, 0, 0},
    {IDC_CONNECT, nullptr, nullptr, 0, 0, 0, 0},
    {IDC_DISCONNECT, nullptr, nullptr, 0, 0, 0, 0},
    {-1, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr int kListRow = 5;
constexpr int kTreeRow = 6;

ThemeOdBtnInfo g_buttons[kButtonCount + 1] = {
    {theme::kBmpRefreshButton, 0, IDC_REFRESH, 0, 0, 0, 0, 0, 0},
    {theme::kBmpSwitchButton, 0, IDC_SWITCH, 0, 0, 0, 0, 0, 0},
    {theme::kBmpOptionButton, 0, IDC_OPTION, 0, 0, 0, 0, 0, 0},
    {theme::kBmpHelpButton, 0, IDC_HELPBUTTON, 0, 0, 0, 0, 0, 0},
    {theme::kBmpConnectButton, 0, IDC_CONNECT, 0, 0, 0, 0, 0, 0},
    {theme::kBmpDisconnectButton, 0, IDC_DISCONNECT, 0, 0, 0, 0, 0, 0},
    {theme::kBmpPropertyButton, 0, IDC_PROPERTY, 0, 0, 0, 0, 0, 0},
    {theme::kBmpRequestButton, 0, IDC_REQUEST, 0, 0, 0, 0, 0, 0},
    {0, 0, -1, 0, 0, 0, 0, 0, 0},
};

const struct {
    int id;
    const wchar_t* key;
} kTips[kButtonCount] = {
    {IDC_PROPERTY, L"PROPERTY"}, {IDC_CONNECT, L"CONNECT"}, {IDC_DISCONNECT, L"DISCONNECT"},
    {IDC_OPTION, L"OPTION"},     {IDC_HELPBUTTON, L"HELP"}, {IDC_REQUEST, L"REQUEST"},
    {IDC_REFRESH, L"REFRESH"},   {IDC_SWITCH, L"SWITCH"},
};

void SetToolTipText(HWND dialog, int control, const wchar_t* key, std::wstring* shownKey) {
    if (!g_main.tooltips || *shownKey == key) return;
    *shownKey = key;
    std::wstring text = IniText(g_app.iniPath, L"TIP", key, 1040);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = dialog;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, control));
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(g_main.tooltips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CreateMainToolTips(HWND dialog) {
    g_main.tooltips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                      g_app.instance, nullptr);
    g_main.connectTip.clear();
    g_main.disconnectTip.clear();
    if (!g_main.tooltips) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = dialog;
    tool.uFlags = TTF_IDISHWND;
    tool.uId = reinterpret_cast<UINT_PTR>(dialog);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(g_main.tooltips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    for (const auto& tip : kTips) {
        std::wstring text = IniText(g_app.iniPath, L"TIP", tip.key, 1040);
        TOOLINFOW button{};
        button.cbSize = sizeof button;
        button.hwnd = dialog;
        button.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        button.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, tip.id));
        button.lpszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(g_main.tooltips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&button));
    }
    SendMessageW(g_main.tooltips, TTM_SETMAXTIPWIDTH, 0, 400);
}

HWND ShownView() { return g_settings.mainView == 1 ? g_main.tree : g_main.list; }

// A button whose state stays costs no system call beyond reading its style: the buttons are
// recomputed after every burst of notices.
HWND ActionButton(HWND dialog, int slot, int control) {
    if (g_main.buttonsOf != dialog) {
        g_main.buttonsOf = dialog;
        for (HWND& button : g_main.actionButtons) button = nullptr;
    }
    HWND& button = g_main.actionButtons[slot];
    if (!button) button = GetDlgItem(dialog, control);
    return button;
}

void RestoreFocus(HWND dialog, int slot, int control, BOOL enable) {
    HWND item = ActionButton(dialog, slot, control);
    if ((IsWindowEnabled(item) != FALSE) == (enable != FALSE)) return;
    if (!enable && GetFocus() == item) SetFocus(ShownView());
    EnableWindow(item, enable);
}

void UpdateCommandStates(HWND dialog) {
    const ButtonStates states = ComputeButtonStates(g_main.list, g_main.tree, g_settings.mainView == 1);
    SetToolTipText(dialog, IDC_CONNECT, states.connectTip, &g_main.connectTip);
    SetToolTipText(dialog, IDC_DISCONNECT, states.disconnectTip, &g_main.disconnectTip);
    RestoreFocus(dialog, 0, IDC_CONNECT, states.connect);
    RestoreFocus(dialog, 1, IDC_DISCONNECT, states.disconnect);
    RestoreFocus(dialog, 2, IDC_PROPERTY, states.property);
    RestoreFocus(dialog, 3, IDC_REQUEST, states.request);
}

void ShowView(HWND dialog) {
    ReleaseViewRedraw();  // a held view keeps its visible style until then
    const bool tree = g_settings.mainView == 1;
    EnableWindow(g_main.tree, tree);
    ShowWindow(g_main.tree, tree ? SW_SHOW : SW_HIDE);
    EnableWindow(g_main.list, !tree);
    ShowWindow(g_main.list, tree ? SW_HIDE : SW_SHOW);
    (void)dialog;
}

LRESULT CALLBACK MessageHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code < 0) return CallNextHookEx(g_main.hook, code, wParam, lParam);
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && msg && (msg->message == WM_SYSKEYDOWN || msg->message == WM_KEYDOWN)) {
        // The keyboard cues go to the first open one of the modal dialogs with bitmap buttons.
        HWND target = g_app.progressDialog;
        if (!target) target = GetRequestDialogWindow();
        if (!target) target = GetAnswerDialogWindow();
        if (target) {
            SendMessageW(target, msg->message == WM_SYSKEYDOWN ? UM_FORWARD_SYSKEYDOWN : UM_FORWARD_KEYDOWN, 0, 0);
        }
    }
    return 0;
}

void LoadSettings() {
    RECT rc{};
    GetWindowRect(g_app.mainDialog, &rc);
    InitUserSettings(&g_settings, SIZE{rc.right - rc.left, rc.bottom - rc.top});
    if (!g_app.settingsCurrent) {
        std::wstring key = ReadIniValue(g_app.iniPath, L"OLD", L"KEY", 260);
        if (!key.empty()) {
            if (key.back() != L'\\') key += L'\\';
            LoadInstallDefaults((key + L"CONFIG").c_str(), &g_settings);
        }
    }
    LoadUserSettings(&g_settings);
    UpdateStartupShortcut(&g_settings, g_app.iniPath);
}

void PlaceDialog(HWND dialog) {
    const ThemeItemInfo& self = g_layout[0];
    const int frame = 2 * GetSystemMetrics(SM_CXFRAME) - 8;
    SIZE size{self.width, self.height};
    if (g_settings.mainSize.cx >= self.width - 60 &&
        g_settings.mainSize.cy >= g_main.minHeightBase + frame - 61) {
        size = g_settings.mainSize;
    }
    RECT rect{g_settings.point.x, g_settings.point.y, g_settings.point.x + size.cx, g_settings.point.y + size.cy};
    if (!MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) {
        g_settings.point.x = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
        g_settings.point.y = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
    }
    SetWindowPos(dialog, IsZoomed(dialog) ? nullptr : HWND_NOTOPMOST, g_settings.point.x, g_settings.point.y,
                 size.cx, size.cy, SWP_NOACTIVATE | (IsZoomed(dialog) ? SWP_NOZORDER : 0));
}

void InitMainDialog(HWND dialog) {
    for (ThemeItemInfo* row = g_layout; row->id != -1; ++row) {
        if (g_app.themeGetItemInfo) g_app.themeGetItemInfo(row, IDD_MAIN);
    }
    for (int i = 0; i < kButtonCount; ++i) {
        if (g_app.themeGetOdBtnInfo) g_app.themeGetOdBtnInfo(&g_buttons[i], IDD_MAIN);
    }
    LoadSettings();
    for (int size : {32, 16}) {
        auto icon = static_cast<HICON>(
            LoadImageW(g_app.theme, MAKEINTRESOURCEW(theme::kIconProgram), IMAGE_ICON, size, size, 0));
        SendMessageW(dialog, WM_SETICON, size == 32 ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    g_main.list = GetDlgItem(dialog, IDC_DEVICE_LIST);
    g_main.tree = GetDlgItem(dialog, IDC_TREE);
    InitListView(g_main.list);
    InitTreeView(g_app.theme, g_main.tree);
    SetListRowMenuHandler([](HWND, POINT point) { ShowListContextMenu(g_app.mainDialog, point); });
    SetTreeMenuHandler([](HWND, HTREEITEM, POINT point) { ShowTreeContextMenu(g_app.mainDialog, point); });
    SetListDoubleClickHandler([](HWND, ListRowRecord* record) {
        if (record) OnDeviceDoubleClick(g_app.mainDialog, record->handle);
    });
    SetNotifyViews(ViewHandles{dialog, g_main.list, g_main.tree});
    g_main.hook = SetWindowsHookExW(WH_MSGFILTER, MessageHookProc, nullptr, GetCurrentThreadId());
    g_main.piecesLoaded = true;
    for (int i = 0; i < 9; ++i) {
        if (!LoadDib(&g_main.pieces[i], MAKEINTRESOURCEW(kPieceIds[i]), FALSE)) g_main.piecesLoaded = false;
    }
    // The list's header decides how much room the rows above and below it get.
    int headerHeight = 22;
    if (HWND header = ListView_GetHeader(g_main.list)) {
        RECT parent{0, 0, 500, 500};
        WINDOWPOS pos{};
        HDLAYOUT layout{&parent, &pos};
        if (Header_Layout(header, &layout)) headerHeight = pos.cy;
    }
    const int delta = headerHeight - 22;
    g_layout[0].height += delta;
    g_layout[kListRow].height += delta;
    g_layout[kTreeRow].height += delta;
    for (int i = kTreeRow + 1; g_layout[i].id != -1; ++i) g_layout[i].y += delta;
    g_main.minWidthBase = g_layout[0].width;
    g_main.minHeightBase = GetSystemMetrics(SM_CYCAPTION) + g_layout[0].height - 19;
    const int frame = 2 * GetSystemMetrics(SM_CXFRAME) - 8;
    g_layout[0].width += frame;
    g_layout[0].height += frame;
    if (IsRightToLeft()) MirrorDialogControls(dialog, g_layout);
    ApplyDialogLayout(dialog, g_app.mainFont, g_layout, kLayoutSizeOnly, g_app.iniPath);
    ShowView(dialog);
    InitBitmapButtons(dialog, g_buttons, kButtonCount);
    if (HWND connect = GetDlgItem(dialog, IDC_CONNECT)) {
        SetClassLongPtrW(connect, GCL_STYLE, GetClassLongPtrW(connect, GCL_STYLE) ^ CS_DBLCLKS);
    }
    PlaceDialog(dialog);
    if (!g_settings.miniMode) PostMessageW(dialog, UM_SHOW_MAIN, 0, 0);
    if (g_app.options.showMainDialog) PostMessageW(dialog, UM_SHOW_MAIN, 0, 0);
    CreateMainToolTips(dialog);
    UpdateCommandStates(dialog);
    StartRequestService(g_app.instance, g_app.mainWindow);
    StartClientService(dialog);
}

void ReleaseMainDialog(HWND dialog) {
    g_main.buttonsOf = nullptr;
    DestroyListResources(g_main.list);
    ListView_DeleteAllItems(g_main.list);
    TreeView_DeleteAllItems(g_main.tree);
    DestroyTreeResources();
    SetNotifyViews(ViewHandles{});
    for (Dib& piece : g_main.pieces) FreeDib(&piece);
    FreeBitmapButtons(dialog, g_buttons, kButtonCount);
    if (g_main.hook) UnhookWindowsHookEx(g_main.hook);
    g_main.hook = nullptr;
    SaveWindowState(&g_settings);
    g_app.mainDialog = nullptr;
}

void MoveBy(HDWP& batch, HWND dialog, int id, int dx, int dy, int dw, int dh) {
    HWND control = GetDlgItem(dialog, id);
    if (!control || !batch) return;
    RECT rc{};
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    batch = DeferWindowPos(batch, control, nullptr, rc.left + dx, rc.top + dy, rc.right - rc.left + dw,
                           rc.bottom - rc.top + dh, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayoutMainDialog(HWND dialog, int width, int height) {
    if (g_main.lastWidth == 0 && g_main.lastHeight == 0) {
        g_main.lastWidth = width;
        g_main.lastHeight = height;
        return;
    }
    const int dx = width - g_main.lastWidth, dy = height - g_main.lastHeight;
    HDWP batch = BeginDeferWindowPos(10);
    for (int id : {IDC_HELPBUTTON, IDC_OPTION, IDC_SWITCH, IDC_REFRESH}) MoveBy(batch, dialog, id, dx, 0, 0, 0);
    for (int id : {IDC_REQUEST, IDC_PROPERTY}) MoveBy(batch, dialog, id, dx, dy, 0, 0);
    // CONNECT and DISCONNECT stay a pair centred in the width.
    RECT connect{}, disconnect{};
    GetWindowRect(GetDlgItem(dialog, IDC_CONNECT), &connect);
    GetWindowRect(GetDlgItem(dialog, IDC_DISCONNECT), &disconnect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&connect), 2);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&disconnect), 2);
    const int span = disconnect.right - connect.left;
    const int newLeft = (width - span) / 2;
    MoveBy(batch, dialog, IDC_CONNECT, newLeft - connect.left, dy, 0, 0);
    MoveBy(batch, dialog, IDC_DISCONNECT, newLeft - connect.left, dy, 0, 0);
    MoveBy(batch, dialog, IDC_DEVICE_LIST, 0, 0, dx, dy);
    MoveBy(batch, dialog, IDC_TREE, 0, 0, dx, dy);
    if (batch) EndDeferWindowPos(batch);
    g_main.lastWidth = width;
    g_main.lastHeight = height;
}

void OnMainSizing(WPARAM edge, RECT* rect) {
    const int frame = 2 * GetSystemMetrics(SM_CXFRAME) - 8;
    const int minWidth = g_main.minWidthBase + frame - 60;
    const int minHeight = g_main.minHeightBase + frame - 61;
    if (rect->right - rect->left <= minWidth) {
        if (edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT) rect->right = rect->left + minWidth;
        if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT) rect->left = rect->right - minWidth;
    }
    if (rect->bottom - rect->top <= minHeight) {
        if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT) rect->top = rect->bottom - minHeight;
        if (edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT) rect->bottom = rect->top + minHeight;
    }
}

void PaintBackground(HWND dialog, HDC target) {
    if (!g_main.piecesLoaded) return;
    RECT rc{};
    GetClientRect(dialog, &rc);
    const int w = rc.right, h = rc.bottom;
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, w, h);
    HGDIOBJ old = SelectObject(mem, bitmap);
    if (IsRightToLeft()) SetLayout(mem, LAYOUT_RTL);
    SetStretchBltMode(mem, HALFTONE);
    FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawFramePieces(mem, g_main.pieces, w, h);
    BitBlt(target, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
}

void OnRefresh(HWND dialog) {
    if (g_app.progressDialog || g_main.refreshLockedOut) return;
    HWND button = GetDlgItem(dialog, IDC_REFRESH);
    if (GetFocus() == button) SetFocus(ShownView());
    EnableWindow(button, FALSE);
    SetTimer(dialog, kRefreshTimer, 1000, nullptr);
    g_main.refreshLockedOut = true;
    ResetBalloons(g_app.mainWindow);
    SetViewsStartTick(GetTickCount());
    if (g_app.service) g_pnx.PnxRenewService(g_app.service, 0);
}

// Storage commands act on the list's selection or on the tree's selected item.
void OnStorageCommand(HWND dialog, UINT id) {
    const bool tree = g_settings.mainView == 1;
    const TreeItemRecord* item = TreeGetSelectedItemData(g_main.tree);
    auto device = reinterpret_cast<HPnxDv>(item ? item->device : 0);
    if (tree && !item) return;
    switch (id) {
        case kCommandStorageMount:
            tree ? MountStorage(dialog, device) : MountSelectedStorage(dialog, g_main.list);
            break;
        case kCommandStorageExplore:
            tree ? ExploreStorageShare(dialog, device) : ExploreSelectedStorage(dialog, g_main.list);
            break;
        case kCommandStorageRemove:
            tree ? RemoveStorage(dialog, device) : RemoveSelectedStorage(dialog, g_main.list);
            break;
        case kCommandStorageMountAll:
            MountAllStorage(dialog, g_main.tree);
            break;
        case kCommandStorageExploreAll:
            ExploreAllStorage(dialog, g_main.tree);
            break;
        case kCommandStorageRemoveAll:
            RemoveAllStorage(dialog, g_main.tree);
            break;
        default:
            break;
    }
}

void OnCommand(HWND dialog, int id) {
    switch (id) {
        case IDC_OPTION:
            ShowOptionsAroundList(dialog, 0);
            break;
        case kCommandStorageMount:
        case kCommandStorageExplore:
        case kCommandStorageRemove:
        case kCommandStorageMountAll:
        case kCommandStorageExploreAll:
        case kCommandStorageRemoveAll:
            OnStorageCommand(dialog, static_cast<UINT>(id));
            break;
        case IDM_REFRESH:
            OnRefresh(dialog);
            break;
        case IDC_SWITCH:
            g_settings.mainView = g_settings.mainView == 1 ? 0 : 1;
            ShowView(dialog);
            UpdateCommandStates(dialog);
            break;
        default:
            if (!OnListColumnCommand(dialog, static_cast<UINT>(id)))
                OnDeviceCommand(dialog, static_cast<UINT>(id));
            break;
    }
}

void DispatchNotification(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* event = reinterpret_cast<const NotifyEvent*>(wParam);
    switch (message) {
        case PNXN_SERVER: OnServerNotify(event, reinterpret_cast<HPnxSv>(lParam)); break;
        case PNXN_DEVICE: OnDeviceNotify(event, lParam); break;
        case PNXN_NAS: OnNasNotify(event, reinterpret_cast<HPnxDv>(lParam)); break;
        case PNXN_APPLICATION: OnApplicationTrigger(event, reinterpret_cast<HPnxDv>(lParam)); break;
        default: break;
    }
}

INT_PTR Result(HWND dialog, LRESULT value) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, value);
    return TRUE;
}

INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            g_app.mainDialog = dialog;
            InitMainDialog(dialog);
            return TRUE;
        case WM_DESTROY:
            ReleaseMainDialog(dialog);
            return FALSE;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) return FALSE;
            if (wParam == SIZE_RESTORED) {
                RECT rc{};
                GetWindowRect(dialog, &rc);
                g_settings.mainSize = SIZE{rc.right - rc.left, rc.bottom - rc.top};
                if (IsWindowVisible(dialog)) g_settings.point = POINT{rc.left, rc.top};
            }
            LayoutMainDialog(dialog, LOWORD(lParam), HIWORD(lParam));
            InvalidateRect(dialog, nullptr, FALSE);
            return FALSE;
        case WM_CTLCOLORDLG:
            // The erase paints the frame itself (a moving or sizing window only at WM_PAINT);
            // the hollow brush keeps the dialog from erasing it again.
            if (!g_main.inSizeMove) PaintBackground(dialog, reinterpret_cast<HDC>(wParam));
            return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(dialog, &ps);
            PaintBackground(dialog, dc);
            EndPaint(dialog, &ps);
            return TRUE;
        }
        case WM_ENDSESSION:
            ListSaveColumnWidths(g_main.list);
            SaveWindowState(&g_settings);
            return FALSE;
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw->CtlType == ODT_BUTTON) DrawBitmapButton(dialog, nullptr, draw);
            if (draw->CtlType == ODT_LISTVIEW) DrawListItem(draw);
            if (draw->CtlType == ODT_MENU) OnDrawMenuItem(dialog, draw);
            return Result(dialog, 1);
        }
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (measure->CtlType == ODT_MENU) return OnMeasureMenuItem(dialog, measure);
            return FALSE;
        }
        case WM_MENUCHAR:
            return Result(dialog, OnMenuChar(dialog, static_cast<wchar_t>(LOWORD(wParam)), reinterpret_cast<HMENU>(lParam)));
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            bool handled = false;
            const LRESULT result = header->idFrom == IDC_TREE ? OnTreeNotify(dialog, header, &handled)
                                                              : OnListNotify(dialog, header, &handled);
            return handled ? Result(dialog, result) : FALSE;
        }
        case WM_ENTERSIZEMOVE:
            g_main.inSizeMove = true;
            return FALSE;
        case WM_EXITSIZEMOVE:
            g_main.inSizeMove = false;
            return FALSE;
        case WM_SIZING:
            OnMainSizing(wParam, reinterpret_cast<RECT*>(lParam));
            return TRUE;
        case WM_MOVING: {
            const RECT* rc = reinterpret_cast<const RECT*>(lParam);
            g_settings.point = POINT{rc->left, rc->top};
            return FALSE;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_MINIMIZE) {
                SetMiniMode(dialog, false, false);
                return Result(dialog, 0);
            }
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                PostMessageW(g_app.mainWindow, UM_EXIT, 0, 0);
                return Result(dialog, 0);
            }
            return FALSE;
        case WM_TIMER:
            if (wParam == kRefreshTimer) {
                KillTimer(dialog, kRefreshTimer);
                EnableWindow(GetDlgItem(dialog, IDC_REFRESH), TRUE);
                g_main.refreshLockedOut = false;
            }
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam));
            return TRUE;
        case PNXN_SERVER:
        case PNXN_DEVICE:
        case PNXN_NAS:
        case PNXN_APPLICATION:
            LockLists();
            DispatchNotification(message, wParam, lParam);
            UnlockLists();
            return Result(dialog, 0);
        case UM_SHOW_MAIN:
            if (!IsWindowVisible(dialog)) {
                EnableWindow(dialog, TRUE);
                ShowWindow(dialog, SW_SHOWNORMAL);
            }
            return TRUE;
        case UM_HIDE_MAIN:
            EnableWindow(dialog, FALSE);
            ShowWindow(dialog, SW_HIDE);
            return TRUE;
        case UM_SHOW_COMMAND:
            if (wParam == kShowCommandShow) SetMiniMode(dialog, true, lParam != 0);
            if (wParam == kShowCommandHide) SetMiniMode(dialog, false, false);
            return TRUE;
        case UM_UPDATE_COMMANDS:
            UpdateCommandStates(dialog);
            return TRUE;
        case UM_FORWARD_SYSKEYDOWN:
        case UM_FORWARD_KEYDOWN:
            if (message == UM_FORWARD_SYSKEYDOWN) {
                ShowButtonAccelerators(dialog, g_buttons, kButtonCount, TRUE);
            } else {
                ShowButtonFocus(dialog, g_buttons, kButtonCount, TRUE);
            }
            InvalidateRect(g_main.list, nullptr, FALSE);
            InvalidateRect(g_main.tree, nullptr, FALSE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

HWND CreateMainDialog() {
    if (g_app.mainDialog && IsWindow(g_app.mainDialog)) return g_app.mainDialog;
    return CreateDialogParamW(g_app.instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
}

bool IsRefreshLockedOut() { return g_main.refreshLockedOut; }

HWND ShownMainView() { return g_app.mainDialog ? ShownView() : nullptr; }

bool IsMainDialogShown() {
    HWND dialog = g_app.mainDialog;
    return dialog && IsWindowVisible(dialog) && !IsIconic(dialog);
}

void SetMiniMode(HWND dialog, bool show, bool topmost) {
    if (!dialog) return;
    const bool shown = IsWindowVisible(dialog) && !IsIconic(dialog);
    if (shown == show) return;
    if (show) {
        ShowWindow(dialog, SW_RESTORE);
        EnableWindow(dialog, TRUE);
        const UINT flags = SWP_NOSIZE | SWP_SHOWWINDOW;
        if (topmost) SetWindowPos(dialog, HWND_TOPMOST, g_settings.point.x, g_settings.point.y, 0, 0, flags);
        if (!IsZoomed(dialog)) {
            SetWindowPos(dialog, HWND_NOTOPMOST, g_settings.point.x, g_settings.point.y, 0, 0, flags);
        }
    } else {
        ShowWindow(dialog, SW_MINIMIZE);
        ShowWindow(dialog, SW_HIDE);
    }
}
