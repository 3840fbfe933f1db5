// Helpers shared by the utility tests: files beside the test program, temporary INI files and
// pumping messages while a window does its work.
#pragma once

#include <windows.h>

#include <string>

#include "system_util.h"

inline std::wstring BesideTest(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetModuleFolder(folder);
    return std::wstring(folder) + L"\\" + name;
}

// A UTF-16LE INI file with a byte-order mark, removed when the test ends.
class TempIni {
public:
    explicit TempIni(const std::wstring& text) {
        wchar_t dir[MAX_PATH], file[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"qzi", 0, file);
        path_ = file;
        HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        const unsigned char bom[2] = {0xFF, 0xFE};
        WriteFile(h, bom, 2, &written, nullptr);
        WriteFile(h, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(h);
    }
    ~TempIni() { DeleteFileW(path_.c_str()); }
    const wchar_t* path() const { return path_.c_str(); }

private:
    std::wstring path_;
};

inline void PumpMessages(DWORD milliseconds) {
    DWORD end = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}
