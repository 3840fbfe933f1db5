// Process-wide state of the utility, owned by the GUI thread.
#pragma once

#include <windows.h>


#include "command_line.h"
#include "theme_api.h"

constexpr const wchar_t* kMainClass = L"QUELBO_PLUS";
constexpr const wchar_t* kMainTitle = L"Quelbo Plus";

struct AppState {
    HINSTANCE instance = nullptr;
    int osCode = 0;
    wchar_t iniPath[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    wchar_t title[65] = {};
    CommandLineOptions options;
    CRITICAL_SECTION listLock{};
    bool listLockCreated = false;
    HMODULE theme = nullptr;
    PnxThemeGetItemInfoFn themeGetItemInfo = nullptr;
    PnxThemeGetOdBtnInfoFn themeGetOdBtnInfo = nullptr;
    PnxThemeGetServerImageListFn themeGetServerImageList = nullptr;
    PnxThemeGetServerImageListIndexFn themeGetServerImageListIndex = nullptr;
    bool settingsCurrent = true;
    HWND service = nullptr;
    HWND mainWindow = nullptr;
    HWND mainDialog = nullptr;
    HFONT defaultFont = nullptr;
    HFONT mainFont = nullptr;
    bool trayAdded = false;
    bool ignoreDeviceLists = false;
    bool permitSuspended = false;
    bool blockReasonSet = false;
    bool queryAnswered = false;
    HWND progressDialog = nullptr;      // the connect progress dialog, while one runs
    bool exitQuestionOpen = false;      // MESSAGE01 (exit with devices in use?) stands
    bool exiting = false;               // an exit is under way (its question included)
};

extern AppState g_app;

void LockLists();
void UnlockLists();

// The hidden main window.
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Message box of [ERROR] textKey with title [ERROR] TITLE, logged as "[MessageBox] : key".
int ErrorBox(HWND owner, const wchar_t* textKey, UINT style, const wchar_t* argument = nullptr);

// The main dialog (main_dialog.cpp).
HWND CreateMainDialog();
void SetMiniMode(HWND dialog, bool show, bool topmost);
bool IsMainDialogShown();
// The view of the main dialog that is shown (tree or list); 0 before the dialog exists.
HWND ShownMainView();
// REFRESH is locked out for a second after each use.
bool IsRefreshLockedOut();
void StartClientService(HWND dialog);

// The options dialog (options_dialog.cpp): 1 when settings were saved.
INT_PTR ShowOptionsDialog(HWND owner, int startPage);
HWND GetOptionsDialogWindow();
