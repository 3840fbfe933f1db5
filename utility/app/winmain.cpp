// Entry point of the utility: the start-up checks in their order, the message loop and the
// final clean-up.
#include <windows.h>
#include <commctrl.h>

#include <cwchar>

#include "app.h"
#include "app_ids.h"
#include "dib.h"
#include "ini_text.h"
#include "message_box.h"
#include "resource.h"
#include "dialog_layout.h"
#include "os_code.h"
#include "owner_menu.h"
#include "pnx_api.h"
#include "registry_util.h"
#include "system_util.h"
#include "user_settings.h"
#include "utility_log.h"

AppState g_app;

void LockLists() { EnterCriticalSection(&g_app.listLock); }
void UnlockLists() { LeaveCriticalSection(&g_app.listLock); }

int ErrorBox(HWND owner, const wchar_t* textKey, UINT style, const wchar_t* argument) {
    int answer = IniMessageBox(g_app.instance, owner, g_app.iniPath, L"ERROR", textKey, L"TITLE", style,
                               argument);
    WriteLog(L"[MessageBox] : %s", textKey);
    return answer;
}

namespace {

constexpr UINT kStopStyle = MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST;  // 0x50030

// The bus driver this program needs at least.
constexpr WORD kRequiredDriverMajor = 3;
constexpr WORD kRequiredDriverMinor = 3;

void WriteLogHeader(const char* commandLine) {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    wchar_t internalName[128] = {}, fileVersion[64] = {}, osName[128] = {};
    GetVersionString(internalName, 128, program, L"InternalName");
    GetVersionString(fileVersion, 64, program, L"FileVersion");
    GetOsName(osName, 128);
    wchar_t dashes[51];
    wmemset(dashes, L'-', 50);
    dashes[50] = L'\0';
    WriteLog(L"%s", dashes);
    WriteLog(L"              %s", internalName);
    WriteLog(L"%s", dashes);
    WriteLog(L"*** OS Information ***");
    WriteLog(L"  OS             : %s", osName);
    WriteLog(L"  CommandLine    : %hs", commandLine ? commandLine : "");
    WriteLog(L"  Currenet Folder: %s", g_app.folder);
    WriteLog(L"  Message File   : %s", g_app.iniPath);
    WriteLog(L"  File Version   : %s", fileVersion);
}

BOOL InitApplication(const char* commandLine) {
    GetModuleFolder(g_app.folder);
    wcscpy(g_app.iniPath, g_app.folder);
    if (!AppendPath(g_app.iniPath, MAX_PATH, L"Pnxmsg.ini")) return FALSE;
    std::wstring title = ReadIniValue(g_app.iniPath, L"TITLE", L"MAIN", 64);
    if (title.empty()) return FALSE;
    wcsncpy(g_app.title, title.c_str(), 64);
    if (IniWantsRightToLeft(g_app.iniPath)) {
        SetRightToLeft(true);
        SetProcessDefaultLayout(LAYOUT_RTL);
    }
    ParseCommandLine(commandLine, &g_app.options);
    LogOptions& log = g_app.options.log;
    if (log.flags & kLogToFile) {
        std::wstring sub = ReadIniValue(g_app.iniPath, L"LOG", L"FOLDER", 260);
        if (!sub.empty()) AppendPath(log.folder, 261, sub.c_str());
    }
    SetLogOptions(&log);
    WriteLogHeader(commandLine);
    return TRUE;
}

int ExitApplication(int code) {
    if (g_pnx.module) g_pnx.PnxUninitialize();
    if (g_app.listLockCreated) {
        DeleteCriticalSection(&g_app.listLock);
        g_app.listLockCreated = false;
    }
    if (g_app.theme) {
        FreeLibrary(g_app.theme);
        g_app.theme = nullptr;
    }
    WriteLog(L"*** return [%d] ***", code);
    FreePnxApi();
    return code;
}

// FALSE ends the program: the query failed (MESSAGE02) or the driver is too old (MESSAGE20).
BOOL CheckDriverVersion() {
    DriverVersionInfo version{};
    version.size = sizeof version;
    if (!g_pnx.PnxGetZkuptpDriverVersion(nullptr, &version)) {
        ErrorBox(nullptr, L"MESSAGE02", kStopStyle, L"ZKUPTP Driver");
        return FALSE;
    }
    version.name[sizeof version.name - 1] = '\0';
    WriteLog(L"  %hS Driver  : %d.%d.%d.%d", version.name, version.major, version.minor, version.build,
             version.revision);
    // (major, minor) as one version: 4.0 is newer than 3.3.
    bool tooOld = version.major < kRequiredDriverMajor ||
                  (version.major == kRequiredDriverMajor && version.minor < kRequiredDriverMinor);
    if (tooOld) {
        ErrorBox(nullptr, L"MESSAGE20", kStopStyle);
        return FALSE;
    }
    return TRUE;
}

void CheckOldSettings() {
    if (!ReadOptionFlag(L"Old")) {
        std::wstring key = ReadIniValue(g_app.iniPath, L"OLD", L"KEY", 260);
        wchar_t subKey[MAX_PATH] = {};
        HKEY root = key.empty() ? nullptr : SplitRegistryPath(key.c_str(), subKey, MAX_PATH);
        HKEY opened = nullptr;
        if (root && RegOpenKeyExW(root, subKey, 0, KEY_READ, &opened) == ERROR_SUCCESS) {
            RegCloseKey(opened);
            g_app.settingsCurrent = false;
        }
        WriteOptionFlag(L"Old", 1);
    }
    if (!g_app.settingsCurrent) WriteLog(L"  Convert the old Version.");
}

// FALSE ends the program; a missing file has told the user so.
BOOL LoadTheme() {
    wchar_t name[262] = {};
    DWORD bytes = sizeof name - sizeof(wchar_t), type = 0;
    if (!ReadRegistryValue(HKEY_CURRENT_USER, kOptionKey, L"Theme", name, &bytes, &type) || type != REG_SZ ||
        !name[0]) {
        wcscpy(name, L"Quelbotheme");
        WriteRegistryValue(HKEY_CURRENT_USER, kOptionKey, L"Theme", name,
                           static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)), REG_SZ);
    }
    std::wstring file = std::wstring(name) + L".dll";
    wchar_t path[MAX_PATH] = {};
    wcscpy(path, g_app.folder);
    if (!AppendPath(path, MAX_PATH, L"Themes") || !AppendPath(path, MAX_PATH, file.c_str()) ||
        GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
        ErrorBox(nullptr, L"MESSAGE02", kStopStyle, file.c_str());
        return FALSE;
    }
    g_app.theme = LoadLibraryW(path);
    if (!g_app.theme) return FALSE;
    g_app.themeGetItemInfo =
        reinterpret_cast<PnxThemeGetItemInfoFn>(reinterpret_cast<void*>(GetProcAddress(g_app.theme, kThemeGetItemInfo)));
    g_app.themeGetOdBtnInfo =
        reinterpret_cast<PnxThemeGetOdBtnInfoFn>(reinterpret_cast<void*>(GetProcAddress(g_app.theme, kThemeGetOdBtnInfo)));
    g_app.themeGetServerImageList = reinterpret_cast<PnxThemeGetServerImageListFn>(
        reinterpret_cast<void*>(GetProcAddress(g_app.theme, kThemeGetServerImageList)));
    g_app.themeGetServerImageListIndex = reinterpret_cast<PnxThemeGetServerImageListIndexFn>(
        reinterpret_cast<void*>(GetProcAddress(g_app.theme, kThemeGetServerImageListIndex)));
    SetResourceModule(g_app.theme);
    SetMenuResources(g_app.theme, g_app.iniPath);
    return TRUE;
}

BOOL RegisterMainClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = g_app.instance;
    wc.hIcon = LoadIconW(g_app.instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(11));
    wc.lpszClassName = kMainClass;
    return RegisterClassExW(&wc) != 0;
}

void ForwardKey(HWND target, const MSG& msg) {
    if (msg.message == WM_SYSKEYDOWN) SendMessageW(target, UM_FORWARD_SYSKEYDOWN, 0, 0);
    if (msg.message == WM_KEYDOWN) SendMessageW(target, UM_FORWARD_KEYDOWN, 0, 0);
}

int RunMessageLoop() {
    HACCEL accelerators = LoadAcceleratorsW(g_app.instance, MAKEINTRESOURCEW(IDA_MAIN));
    MSG msg{};
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        // The hidden window's last active popup (a message box, a dialog it owns) first, then
        // the main dialog, whose keys also pass through the accelerators (F5 is REFRESH).
        HWND popup = g_app.mainWindow ? GetLastActivePopup(g_app.mainWindow) : nullptr;
        if (popup && IsWindow(popup) && IsDialogMessageW(popup, &msg)) {
            ForwardKey(popup, msg);
            continue;
        }
        HWND dialog = g_app.mainDialog;
        if (dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &msg)) {
            if (accelerators) TranslateAcceleratorW(dialog, accelerators, &msg);
            ForwardKey(dialog, msg);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    InitCommonControls();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    g_app.instance = instance;
    g_app.osCode = GetOsCode(nullptr);
    if (!InitApplication(commandLine)) return 0;  // no message, no log
    InitializeCriticalSection(&g_app.listLock);
    g_app.listLockCreated = true;
    if (!LoadPnxApi()) {
        ErrorBox(nullptr, L"MESSAGE02", kStopStyle, L"Pnxscapi.dll");
        return ExitApplication(0);
    }
    if (!CheckDriverVersion()) return ExitApplication(0);
    CheckOldSettings();
    if (!LoadTheme()) return ExitApplication(0);
    g_pnx.PnxInitialize();
    if (!RegisterMainClass()) return ExitApplication(0);
    if (CheckSingleInstance(kMainClass, TRUE, TRUE)) {
        if (HWND first = FindWindowW(kMainClass, kMainTitle)) {
            PostMessageW(first, UM_ACTIVATE_INSTANCE, 0, 0);
        } else {
            ErrorBox(nullptr, L"MESSAGE00", MB_ICONWARNING);
        }
        return ExitApplication(0);
    }
    if (g_app.options.startDelaySeconds) Sleep(g_app.options.startDelaySeconds * 1000);
    g_app.mainWindow = CreateWindowExW(0, kMainClass, kMainTitle, 0x20C00000, 0, 0, 300, 400, nullptr,
                                       nullptr, instance, nullptr);
    if (!g_app.mainWindow) return 0;  // nothing else is done: the process ends
    return ExitApplication(RunMessageLoop());
}
