#include "helper_log.h"

#include <windows.h>

#include <cstdarg>
#include <mutex>

#include "helper_messages.h"
#include "win_handles.h"

namespace {

// Guards g_logPath and serialises the appends of the service's threads.
std::mutex g_logMutex;
std::string g_logPath;  // guarded by g_logMutex

// A file that has grown past its bound starts again, so that nobody can fill the disk through
// the service.
qz::FileHandle OpenLogFile(const std::string& path) {
    qz::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return file;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > kHelperLogMaxBytes) {
        SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
        SetEndOfFile(file.get());
    }
    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    return file;
}

}  // namespace

void SetHelperLogFile(const std::string& path) {
    std::lock_guard<std::mutex> guard(g_logMutex);
    g_logPath = path;
}

void HelperLog(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return;
    for (char* c = text; *c; ++c) {
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) *c = '?';
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[sizeof text + 32];
    n = std::snprintf(line, sizeof line, "%04d/%02d/%02d %02d:%02d:%02d  %s\r\n", now.wYear, now.wMonth, now.wDay,
                      now.wHour, now.wMinute, now.wSecond, text);
    if (n <= 0) return;
    DWORD length = static_cast<size_t>(n) < sizeof line ? static_cast<DWORD>(n) : static_cast<DWORD>(sizeof line - 1);

    std::lock_guard<std::mutex> guard(g_logMutex);
    if (g_logPath.empty()) return;
    qz::FileHandle file = OpenLogFile(g_logPath);
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), line, length, &written, nullptr);
}
