#include "message_box.h"

#include "dialog_layout.h"
#include "os_info.h"
#include "window_position.h"

#include <string>

namespace {

constexpr size_t kTitleChars = 256;
constexpr size_t kTextChars = 2048;

// The box being centred and its owner, per thread: the GUI thread and a worker may each show
// a box at the same time.
thread_local HHOOK t_hook = nullptr;
thread_local HWND t_owner = nullptr;

LRESULT CALLBACK CentreOnActivate(int code, WPARAM wParam, LPARAM lParam) {
    HHOOK hook = t_hook;
    if (code == HCBT_ACTIVATE) {
        CenterWindowOnMonitor(reinterpret_cast<HWND>(wParam), t_owner);
        UnhookWindowsHookEx(hook);
        t_hook = nullptr;
        t_owner = nullptr;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

UINT BoxFlags(UINT flags) { return flags | MB_SETFOREGROUND | (RtlLayout ? MB_RTLREADING : 0); }

int ShowBox(HWND owner, const char* text, const char* title, UINT flags, BOOL centred) {
    if (centred) return MessageBoxCentered(nullptr, owner, text, title, BoxFlags(flags));
    return MessageBoxA(owner, text, title, BoxFlags(flags));
}

}  // namespace

int MessageBoxCentered(HINSTANCE /*instance*/, HWND owner, const char* text, const char* title, UINT flags) {
    if (owner && !t_hook && GetOsVersionCode(nullptr) != 1) {
        t_owner = owner;
        t_hook = SetWindowsHookExA(WH_CBT, CentreOnActivate, nullptr, GetCurrentThreadId());
    }
    int result = MessageBoxA(owner, text, title, flags);
    if (t_hook) {  // the box never activated
        UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
        t_owner = nullptr;
    }
    return result;
}

int ShowIniMessageBox(HWND owner, const char* iniPath, const char* section, const char* textKey,
                      const char* titleKey, UINT flags, FormatArg argument, BOOL centred) {
    std::string title = GetIniString(iniPath, section, titleKey, {}, kTitleChars);
    std::string text = GetIniString(iniPath, section, textKey, argument, kTextChars);
    if (title.empty()) title = "Error Message";
    if (text.empty()) text = "Error!";
    return ShowBox(owner, text.c_str(), title.c_str(), flags, centred);
}

int ShowSystemErrorBox(HWND owner, DWORD errorCode, UINT flags, BOOL centred) {
    char text[kTextChars] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, errorCode,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    char title[129] = "";
    if (owner) GetWindowTextA(owner, title, sizeof title);
    return ShowBox(owner, text, title, flags, centred);
}
