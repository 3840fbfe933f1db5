#include "app_windows.h"

#include "ini_text.h"
#include "os_info.h"

#include <cstdlib>
#include <cstring>
#include <string>

int CheckNamedMutex(const char* name, BOOL global, BOOL own) {
    if (!name) return 1;
    std::string full = (global && GetOsVersionCode(nullptr) >= 5) ? std::string("Global\\") + name : name;
    HANDLE mutex = CreateMutexA(nullptr, own ? TRUE : FALSE, full.c_str());
    DWORD error = GetLastError();
    if (!mutex) return 1;
    if (error == ERROR_ALREADY_EXISTS) {
        // With own set the handle stays open, so this process holds the name too.
        if (!own) CloseHandle(mutex);
        return 1;
    }
    if (!own) CloseHandle(mutex);
    // An owned, new mutex keeps the name taken until the process ends.
    return 0;
}

HWND FindWindowByText(const char* text, BOOL byClass) {
    if (!text) return nullptr;
    // From the top window itself: the program searched for is often the one in front.
    for (HWND w = GetTopWindow(GetDesktopWindow()); w; w = GetWindow(w, GW_HWNDNEXT)) {
        char found[256] = "";
        int n = byClass ? GetClassNameA(w, found, sizeof found) : GetWindowTextA(w, found, sizeof found);
        if (n > 0 && lstrcmpiA(found, text) == 0) return w;
    }
    return nullptr;
}

int FindRunningApplication(int kind, const char* name, HWND* window) {
    if (!name || !*name) return 0;
    HWND found = nullptr;
    if (kind == kFindByClass) {
        if (!CheckNamedMutex(name, TRUE, FALSE)) return 0;
        found = FindWindowA(name, nullptr);
        if (!found) return 1;  // running, window unknown
    } else if (kind == kFindByTitle) {
        found = FindWindowByText(name, FALSE);
        if (!found) return 0;
    } else {
        return 0;
    }
    if (window) *window = found;
    return 1;
}

int FindApplicationWindow(int kind, const char* description, HWND* window, char* title, size_t titleSize, int* number) {
    if (!description) return 0;
    auto field = [&](int index, std::string& out) {
        char copy[129];
        lstrcpynA(copy, description, sizeof copy);
        const char* f = GetToken(copy, ";", 3, index);
        out = f ? f : "";
        return f != nullptr;
    };
    std::string name, text, digits;
    field(0, name);
    if (name.size() > 64) name.resize(64);
    if (field(1, text) && title && text.size() < titleSize) std::strcpy(title, text.c_str());
    if (field(2, digits) && number) *number = std::atoi(digits.c_str());
    return FindRunningApplication(kind, name.c_str(), window);
}
