// Helpers shared by the utility tests: files beside the test program, temporary INI files and
// pumping messages while a window does its work.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "system_util.h"

inline std::wstring BesideTest(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetModuleFolder(folder);
    return std::wstring(folder) + L"\\" + name;
}

// A file in the temporary folder, removed when the test ends.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes) {
        wchar_t dir[MAX_PATH], file[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"qzt", 0, file);
        path_ = file;
        HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
    }
    ~TempFile() { DeleteFileW(path_.c_str()); }
    const wchar_t* path() const { return path_.c_str(); }

private:
    std::wstring path_;
};

// A UTF-16LE INI file with a byte-order mark.
class TempIni : public TempFile {
public:
    explicit TempIni(const std::wstring& text) : TempFile(Utf16WithBom(text)) {}

private:
    static std::vector<uint8_t> Utf16WithBom(const std::wstring& text) {
        std::vector<uint8_t> bytes{0xFF, 0xFE};
        const auto* raw = reinterpret_cast<const uint8_t*>(text.data());
        bytes.insert(bytes.end(), raw, raw + text.size() * sizeof(wchar_t));
        return bytes;
    }
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
