#include "shell_launch.h"

#include <shellapi.h>

#include <cwchar>

BOOL ShellLaunch(HWND owner, const wchar_t* verb, const wchar_t* target) {
    wchar_t record[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"QZ_SHELL_RECORD", record, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(owner, verb, target, nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    }
    HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    wchar_t line[1200];
    std::swprintf(line, 1200, L"%ls|%ls|%ls\n", verb ? verb : L"", owner ? L"owned" : L"none", target ? target : L"");
    char utf8[2400];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
    DWORD written = 0;
    if (bytes > 1) WriteFile(file, utf8, static_cast<DWORD>(bytes - 1), &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
