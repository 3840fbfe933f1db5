// Finding windows of one test program only. Other programs of the test run share the desktop
// (the utility's main dialog, the setup's boxes), so a search by class and title alone may find
// one of theirs; and on a loaded machine a box may take many seconds to show.
#pragma once

#include <windows.h>

#include <cstring>

namespace qz_test {

struct WindowQuery {
    DWORD process;
    const char* cls;
    const char* title;
    HWND found;
};

inline BOOL CALLBACK MatchWindowOfProcess(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<WindowQuery*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != query->process || !IsWindowVisible(window)) return TRUE;
    char text[256] = "";
    if (query->cls) {
        GetClassNameA(window, text, sizeof text);
        if (std::strcmp(text, query->cls) != 0) return TRUE;
    }
    if (query->title) {
        GetWindowTextA(window, text, sizeof text);
        if (std::strcmp(text, query->title) != 0) return TRUE;
    }
    query->found = window;
    return FALSE;
}

// A visible top-level window of the process with the class and title given (nullptr: any).
inline HWND FindWindowOfProcess(DWORD process, const char* cls, const char* title) {
    WindowQuery query{process, cls, title, nullptr};
    EnumWindows(MatchWindowOfProcess, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

}  // namespace qz_test

// The message box (#32770) of this process with that title once it is shown and active, which
// is when the hooks that move it have run; nullptr when none came within `ms`.
inline HWND WaitForOwnBox(const wchar_t* title, DWORD ms = 60000) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", title); w;
             w = FindWindowExW(nullptr, w, L"#32770", title)) {
            DWORD pid = 0;
            DWORD thread = GetWindowThreadProcessId(w, &pid);
            GUITHREADINFO info = {};
            info.cbSize = sizeof info;
            if (pid == GetCurrentProcessId() && IsWindowVisible(w) && GetGUIThreadInfo(thread, &info) &&
                info.hwndActive == w)
                return w;
        }
        if (GetTickCount64() > end) return nullptr;
        Sleep(10);
    }
}
