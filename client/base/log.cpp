#include "log.h"
#include "child_windows.h"

#include "messages.h"
#include "server_entry.h"
#include "text_util.h"

#include "win_handles.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

// Guards g_logSettings and g_logServiceWindow, and serialises file appends so that lines
// from several threads never interleave. Only this file takes it, and never while calling
// out to a window, so it may be taken with or without the library lock held.
std::mutex g_logMutex;
LogSettings g_logSettings{};   // guarded by g_logMutex
HWND g_logServiceWindow{};     // guarded by g_logMutex

bool IsDirectory(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates every level of a folder in turn, stopping at the first one that can be neither
// created nor found.
void CreateFolderLevels(const char* folder) {
    std::string path = folder;
    size_t start = 0;
    if (path.rfind("\\\\", 0) == 0) {
        // A UNC path: the server and share levels cannot be created, only what is below them.
        size_t server = path.find('\\', 2);
        start = server == std::string::npos ? path.size() : path.find('\\', server + 1);
        if (start == std::string::npos) return;
    }
    for (size_t pos = start; pos != std::string::npos;) {
        size_t slash = path.find('\\', pos + 1);
        std::string level = path.substr(0, slash);
        pos = slash;
        // Skip empty levels and a bare drive ("C:"), which always exists when usable.
        if (level.empty() || level.back() == '\\' || (level.size() == 2 && level[1] == ':'))
            continue;
        if (!CreateDirectoryA(level.c_str(), nullptr) && !IsDirectory(level.c_str())) return;
    }
}

// The root of the Windows folder's drive, such as "C:\".
std::string WindowsDriveRoot() {
    char windows[MAX_PATH + 1] = "";
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    char* slash = std::strchr(windows, '\\');
    if (slash) slash[1] = '\0';
    return windows;
}

// The file that a window's lines go to; false when the window's server chain is broken.
bool LogFilePath(HWND window, HWND serviceWindow, const char* folder, std::string* path) {
    char name[32];
    if (window == serviceWindow) {
        CopyCut(kMainLogFileName, name);
    } else {
        ServerEntry* entry = ServerEntryOfWindow(window);
        if (!entry || !entry->record || !entry->record->info) return false;
        const uint8_t* mac = entry->record->info->hardwareAddress;
        std::snprintf(name, sizeof name, "%02X%02X%02X%02X%02X%02X.txt", mac[0], mac[1], mac[2],
                      mac[3], mac[4], mac[5]);
    }
    *path = folder;
    if (!path->empty() && path->back() != '\\') *path += '\\';
    *path += name;
    return true;
}

void AppendLine(const std::string& path, const char* text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    // The text is at most kLogTextCapacity - 1 characters; the frame adds fewer than 32.
    char line[kLogTextCapacity + 32];
    int n = std::snprintf(line, sizeof line, "%02d/%02d/%02d %02d:%02d:%02d  %s\r\n", now.wYear,
                          now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, text);
    if (n <= 0) return;
    DWORD length = static_cast<size_t>(n) < sizeof line ? static_cast<DWORD>(n)
                                                         : static_cast<DWORD>(sizeof line - 1);
    std::lock_guard<std::mutex> guard(g_logMutex);
    qz::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file.get(), line, length, &written, nullptr);
}

void AddToListBox(HWND window, const char* text) {
    if (!window || !IsWindow(window)) return;
    HWND listBox = ChildWindow(window, kIdLogList);
    if (!listBox) return;
    SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    LRESULT count = SendMessageA(listBox, LB_GETCOUNT, 0, 0);
    if (count > 0) SendMessageA(listBox, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
}

}  // namespace

int LogSetup(HWND serviceWindow, const LogSettings* settings) {
    if (!settings) return 0;
    LogSettings copy = *settings;
    copy.folder[sizeof copy.folder - 1] = '\0';
    if ((copy.flags & kLogToFile) && copy.folder[0] == '\0') {
        CopyCut(WindowsDriveRoot(), copy.folder);
    }
    {
        std::lock_guard<std::mutex> guard(g_logMutex);
        g_logSettings = copy;
        g_logServiceWindow = serviceWindow;
    }
    if (copy.flags & kLogToFile) CreateFolderLevels(copy.folder);
    return 1;
}

int LogLine(HWND window, const char* format, ...) {
    LogSettings settings;
    HWND serviceWindow;
    {
        std::lock_guard<std::mutex> guard(g_logMutex);
        settings = g_logSettings;
        serviceWindow = g_logServiceWindow;
    }
    if (settings.flags == 0 || !format) return 0;

    // Host and model names from the network reach the arguments: the text is cut to the
    // buffer, never overrun. The buffer is on the stack because adding to the list box can
    // re-enter the log on this thread.
    char text[kLogTextCapacity];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) text[0] = '\0';

    AddToListBox(window, text);

    if (settings.flags & kLogToFile) {
        std::string path;
        if (!LogFilePath(window, serviceWindow, settings.folder, &path)) return 0;
        AppendLine(path, text);
    }
    if (settings.flags & kLogToDebugger) OutputDebugStringA(text);
    return 1;
}

void LogReset() {
    std::lock_guard<std::mutex> guard(g_logMutex);
    g_logSettings = LogSettings{};
    g_logServiceWindow = nullptr;
}

HWND LogServiceWindow() {
    std::lock_guard<std::mutex> guard(g_logMutex);
    return g_logServiceWindow;
}

uint16_t LogFlags() {
    std::lock_guard<std::mutex> guard(g_logMutex);
    return g_logSettings.flags;
}
