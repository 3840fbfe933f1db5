#include "main_window.h"

#include "dialog_layout.h"
#include "resource.h"
#include "setup_frame.h"
#include "window_position.h"

#include <cstdio>

namespace {

struct Background {
    HFONT font;
    char product[260];
    char company[260];
};
Background g_background;

void DeleteBackgroundFont() {
    if (g_background.font) DeleteObject(g_background.font);
    g_background.font = nullptr;
}

void LoadBackground(HWND window, const char* iniPath, bool vista) {
    char key[32];
    if (vista) PickVistaIniKey("BACK", iniPath, g_setup.osCode, key, sizeof key);
    else snprintf(key, sizeof key, "BACK");
    g_background.font = CreateIniFont(window, key, iniPath);
    GetPrivateProfileStringA("TITLE", "PRODUCT", "", g_background.product, sizeof g_background.product, iniPath);
    GetPrivateProfileStringA("TITLE", "COMPANY", "", g_background.company, sizeof g_background.company, iniPath);
    SetWindowPos(window, HWND_BOTTOM, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void DrawShadowedText(HDC dc, const char* text, int x, int y) {
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, x + 5, y + 5, text, lstrlenA(text));
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, x, y, text, lstrlenA(text));
}

void PaintBackgroundWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    int band = client.bottom / 64 + 1;
    for (int i = 0; i < 64; ++i) {
        RECT r = {client.left, i * band, client.right, (i + 1) * band};
        HBRUSH brush = CreateSolidBrush(BackgroundBandColour(i));
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = g_background.font ? SelectObject(dc, g_background.font) : nullptr;
    DrawShadowedText(dc, g_background.product, 10, 5);
    SIZE size{};
    GetTextExtentPoint32A(dc, g_background.company, lstrlenA(g_background.company), &size);
    DrawShadowedText(dc, g_background.company, client.right - 10 - size.cx, client.bottom - 10 - size.cy);
    if (old) SelectObject(dc, old);
    EndPaint(window, &paint);
}

void OnCreate(HWND window) {
    if (!g_setup.background) {
        HMENU menu = GetSystemMenu(window, FALSE);
        DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
        DrawMenuBar(window);
        if (!IsSilent(g_setup)) {
            SetWindowPos(window, nullptr, 0, 0, 100, 100, SWP_NOZORDER);
            ShowWindow(window, SW_SHOWMINNOACTIVE);
        }
    }
    PostMessageA(window, kWizardInit, 0, 0);
}

void CreateMainDialog(HWND window) {
    HICON big = static_cast<HICON>(LoadImageA(g_setup.instance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 32, 32, 0));
    HICON small = static_cast<HICON>(LoadImageA(g_setup.instance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 16, 16, 0));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    g_background = {};
    if (g_setup.background) RefreshBackground(window, g_setup.languageIni, false);
    g_setup.frame = CreateWizardFrame(g_setup.instance, window, &kSetupFrame);
    if (!g_setup.frame) {
        RecordFailure(&g_setup.failure, kExitNoWindow);
        PostMessageA(window, kWizardClose, 0, 0);
    }
}

void OnDestroy() {
    FreeWizardFonts();
    DeleteBackgroundFont();
    PostQuitMessage(0);
}

}  // namespace

COLORREF BackgroundBandColour(int band) { return RGB(0, 0, 255 - (255 * band) / 64); }

void RefreshBackground(HWND window, const char* iniPath, bool vista) {
    DeleteBackgroundFont();
    LoadBackground(window, iniPath, vista);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case kWizardInit: CreateMainDialog(window); return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && g_setup.frame) SetActiveWindow(g_setup.frame);
        return 0;
    case WM_PAINT:
        if (g_setup.background) {
            PaintBackgroundWindow(window);
            return 0;
        }
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            PostMessageA(g_setup.frame, WM_COMMAND, IDCANCEL, 0);
            return 0;
        }
        break;
    case kWizardClose: DestroyWindow(window); return 0;
    case WM_ENDSESSION:
        if (wParam) OnDestroy();
        return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = g_className;
    return RegisterClassA(&wc) != 0;
}

int CreateMainWindow(SetupContext* c) {
    char title[128];
    GetPrivateProfileStringA("TITLE", "TITLE", "ZK Installer", title, sizeof title, c->languageIni);
    DWORD style = c->background ? (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
                                : (WS_MINIMIZE | WS_CAPTION | WS_SYSMENU);
    g_mainWindow = CreateWindowExA(0, g_className, title, style, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                   GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, c->instance, nullptr);
    if (!g_mainWindow) return 0;
    if (c->background) {
        ShowWindow(g_mainWindow, SW_SHOWNOACTIVATE);
        ForceForegroundWindow(g_mainWindow, c->osCode);
    }
    return 1;
}
