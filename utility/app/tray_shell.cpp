#include "tray_shell.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace {

const wchar_t* RecordPath() {
    static wchar_t path[MAX_PATH] = {};
    static bool read = false;
    if (!read) {
        read = true;
        DWORD n = GetEnvironmentVariableW(L"QZ_TRAY_RECORD", path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) path[0] = L'\0';
    }
    return path[0] ? path : nullptr;
}

void AppendLine(const wchar_t* text) {
    const wchar_t* path = RecordPath();
    if (!path) return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char utf8[2048];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8 - 2, nullptr, nullptr);
    if (n > 0) {
        utf8[n - 1] = '\n';
        DWORD written = 0;
        WriteFile(file, utf8, static_cast<DWORD>(n), &written, nullptr);
    }
    CloseHandle(file);
}

const wchar_t* MessageName(DWORD message) {
    switch (message) {
        case NIM_ADD: return L"add";
        case NIM_MODIFY: return L"modify";
        case NIM_DELETE: return L"delete";
        default: return L"other";
    }
}

}  // namespace

BOOL TrayNotify(DWORD message, NOTIFYICONDATAW* data, int iconId) {
    const BOOL result = Shell_NotifyIconW(message, data);
    if (RecordPath()) {
        wchar_t line[1024];
        if (data->uFlags & NIF_INFO) {
            std::swprintf(line, 1024, L"%ls balloon title=%ls text=%ls time=%u", MessageName(message), data->szInfoTitle,
                          data->szInfo, data->uTimeout);
        } else {
            std::swprintf(line, 1024, L"%ls icon=%d tip=%ls", MessageName(message), iconId,
                          (data->uFlags & NIF_TIP) ? data->szTip : L"-");
        }
        AppendLine(line);
    }
    return result;
}

void TrayRecord(const wchar_t* format, ...) {
    if (!RecordPath()) return;
    wchar_t line[1024];
    va_list args;
    va_start(args, format);
    std::vswprintf(line, 1024, format, args);
    va_end(args);
    AppendLine(line);
}
