// The tray icon's states and its two one-shot animations.
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <cwchar>

#include "app.h"
#include "app_ids.h"
#include "device_rows.h"
#include "theme_resources.h"
#include "tray.h"
#include "tray_shell.h"

namespace {

constexpr UINT kTrayIconUid = 0;
constexpr DWORD kTrayFrameMs = 140;
constexpr SIZE_T kThreadStack = 16384;

// Owned by the GUI thread; the animation thread reads `frames` and `window` and the flag.
struct TrayAnimation {
    HANDLE thread = nullptr;
    HANDLE stop = nullptr;
    volatile LONG running = 0;
    HWND window = nullptr;
    const int* frames = nullptr;
};
TrayAnimation g_animation;
// GUI thread: the icon shows the still image. Setting it still again changes nothing, and with
// many devices going at once (a lost server, the program's end) it would be set once per device.
bool g_trayStill = false;

const int* FrameList(int first) {
    static int error[theme::kTrayAnimFrames + 1];
    static int request[theme::kTrayAnimFrames + 1];
    int* list = first == theme::kIconTrayErrorFirst ? error : request;
    for (int i = 0; i < theme::kTrayAnimFrames; ++i) list[i] = first + i;
    list[theme::kTrayAnimFrames] = -1;
    return list;
}

HICON LoadTrayIcon(int id) {
    return static_cast<HICON>(LoadImageW(g_app.theme, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
}

DWORD WINAPI TrayAnimationThread(void*) {
    for (const int* frame = g_animation.frames; *frame != -1; ++frame) {
        if (!g_animation.running || !IsWindow(g_animation.window)) break;
        NotifyTrayIcon(g_animation.window, NIM_MODIFY, LoadTrayIcon(*frame), nullptr);
        WaitForSingleObject(g_animation.stop, kTrayFrameMs);
    }
    return 0;
}

void StopTrayAnimation() {
    if (!g_animation.thread) return;
    InterlockedExchange(&g_animation.running, 0);
    SetEvent(g_animation.stop);
    DWORD code = STILL_ACTIVE;
    while (GetExitCodeThread(g_animation.thread, &code) && code == STILL_ACTIVE) Sleep(1);
    CloseHandle(g_animation.thread);
    CloseHandle(g_animation.stop);
    g_animation.thread = g_animation.stop = nullptr;
}

void StartTrayAnimation(HWND window, int first) {
    g_animation.window = window;
    g_animation.frames = FrameList(first);
    g_animation.stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!g_animation.stop) return;
    InterlockedExchange(&g_animation.running, 1);
    g_animation.thread = CreateThread(nullptr, kThreadStack, TrayAnimationThread, nullptr,
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!g_animation.thread) {
        InterlockedExchange(&g_animation.running, 0);
        CloseHandle(g_animation.stop);
        g_animation.stop = nullptr;
    }
}

}  // namespace

BOOL NotifyTrayIcon(HWND window, DWORD message, HICON icon, const wchar_t* tip) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;  // the size of this build's record, 32-bit and 64-bit alike
    data.hWnd = window;
    data.uID = kTrayIconUid;
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    if (tip) {
        data.uFlags |= NIF_TIP;
        wcsncpy(data.szTip, tip, 127);
    }
    if (message == NIM_ADD) {
        data.uFlags |= NIF_MESSAGE;
        data.uCallbackMessage = UM_TRAY_CALLBACK;
    }
    const BOOL done = TrayNotify(message, &data);
    if (icon) DestroyIcon(icon);
    return done;
}

void SetTrayState(HWND window, int state, const wchar_t* tip) {
    if (state == kTrayAdd) {
        StopTrayAnimation();
        g_animation = TrayAnimation{};
    } else {
        StopTrayAnimation();
    }
    switch (state) {
        case kTrayAdd:
            g_app.trayAdded = NotifyTrayIcon(window, NIM_ADD, LoadTrayIcon(theme::kIconProgram),
                                             tip ? tip : g_app.title) != FALSE;
            g_trayStill = g_app.trayAdded;
            break;
        case kTrayStill:
            if (!g_trayStill) {
                g_trayStill = NotifyTrayIcon(window, NIM_MODIFY, LoadTrayIcon(theme::kIconProgram),
                                             nullptr) != FALSE;
            }
            break;
        case kTrayAnimateError:
            g_trayStill = false;
            StartTrayAnimation(window, theme::kIconTrayErrorFirst);
            break;
        case kTrayAnimateRequest:
            g_trayStill = false;
            StartTrayAnimation(window, theme::kIconTrayRequestFirst);
            break;
        case kTrayDelete: {
            NOTIFYICONDATAW data{};
            data.cbSize = sizeof data;
            data.hWnd = window;
            data.uID = kTrayIconUid;
            TrayNotify(NIM_DELETE, &data);
            g_app.trayAdded = false;
            g_trayStill = false;
            break;
        }
        default:
            break;
    }
}

bool TrayIsStill() { return g_trayStill; }

int GetTrayState(HWND window, int question) {
    if (question == kTrayQuestionRequest) return IsRequestDialogOpen() ? kTrayAnimateRequest : kTrayStill;
    if (question == kTrayQuestionBalloons) {
        HWND queue = GetDlgItem(window, IDC_BALLOON_QUEUE);
        return queue && SendMessageW(queue, LVM_GETITEMCOUNT, 0, 0) > 0 ? kTrayAnimateError : kTrayStill;
    }
    return kTrayStill;
}
