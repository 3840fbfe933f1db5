// Finds a message box of the test program itself. Other programs of the test run share the
// desktop (the utility's main dialog, the setup's boxes), so a search by class and title alone
// may find one of theirs; and on a loaded machine a box may take many seconds to show.
#pragma once

#include <windows.h>

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
