#include "utility_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "win_handles.h"

namespace {

LogOptions g_log;  // set once at start-up, before any line is written

bool DriveRoot(wchar_t* out, size_t chars) {
    wchar_t windows[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    if (n < 3 || chars < 4) return false;
    wcsncpy(out, windows, 3);
    out[3] = L'\0';
    return true;
}

}  // namespace

BOOL ParseDebugSwitch(const char* argument, LogOptions* options) {
    if (!argument || !options || strlen(argument) < 3) return FALSE;
    if (argument[0] != '-' || (argument[1] != 'd' && argument[1] != 'D')) return FALSE;
    const char* rest = argument + 2;
    uint16_t flags = 0;
    if (strstr(rest, "out")) flags = kLogToDebugger;
    if (strstr(rest, "log")) flags |= kLogToFile;
    options->flags = flags;
    if (flags & kLogToFile) {
        if (!DriveRoot(options->folder, 261)) return FALSE;
    }
    return TRUE;
}

BOOL SetLogOptions(const LogOptions* options) {
    if (!options) return FALSE;
    g_log = *options;
    g_log.folder[260] = L'\0';
    if (!(g_log.flags & kLogToFile)) return TRUE;
    if (!g_log.folder[0]) DriveRoot(g_log.folder, 261);
    std::wstring folder = g_log.folder;
    std::wstring path;
    size_t start = 0;
    bool first = true;
    while (start <= folder.size()) {
        size_t slash = folder.find(L'\\', start);
        std::wstring part = folder.substr(start, slash == std::wstring::npos ? std::wstring::npos
                                                                              : slash - start);
        if (first) {
            path = part;  // the drive, as it is
            first = false;
        } else if (!part.empty()) {
            path += L'\\';
            path += part;
            if (!CreateDirectoryW(path.c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS) {
                break;
            }
        }
        if (slash == std::wstring::npos) break;
        start = slash + 1;
    }
    return TRUE;
}

BOOL AppendLogLine(const wchar_t* text, const wchar_t* fileName) {
    std::wstring path = g_log.folder;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += (fileName && *fileName) ? fileName : L"Tessoralog.txt";
    qz::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return FALSE;
    bool isNew = GetLastError() != ERROR_ALREADY_EXISTS;
    DWORD written = 0;
    if (isNew) {
        static const BYTE kBom[2] = {0xFF, 0xFE};
        WriteFile(file.get(), kBom, 2, &written, nullptr);
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%02d/%02d/%02d %02d:%02d:%02d  ", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    std::wstring line = stamp;
    line += text ? text : L"";
    line += L"\r\n";
    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
              nullptr);
    return TRUE;
}

BOOL WriteLog(const wchar_t* format, ...) {
    if (!(g_log.flags & (kLogToFile | kLogToDebugger)) || !format) return FALSE;
    wchar_t line[1024];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(line, 1023, format, args);
    va_end(args);
    line[(n < 0 || n > 1023) ? 1023 : n] = L'\0';
    if (g_log.flags & kLogToFile) AppendLogLine(line, nullptr);
    if (g_log.flags & kLogToDebugger) OutputDebugStringW(line);
    return TRUE;
}
