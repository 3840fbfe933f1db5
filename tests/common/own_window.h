// Finding a window of this test program only. Test programs share one Wine session with the
// programs of other tests running beside them, so a look-up by class and title alone can find
// (and then press buttons in) a window of another program that happens to have the same title.
#pragma once

#include <windows.h>

#include <cstring>

namespace qz_test {

struct OwnWindowQuery {
    DWORD process;
    const char* cls;
    const char* title;
    HWND found;
};

inline BOOL CALLBACK MatchOwnWindow(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<OwnWindowQuery*>(param);
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
    OwnWindowQuery query{process, cls, title, nullptr};
    EnumWindows(MatchOwnWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

inline HWND FindOwnWindow(const char* cls, const char* title) {
    return FindWindowOfProcess(GetCurrentProcessId(), cls, title);
}

}  // namespace qz_test
