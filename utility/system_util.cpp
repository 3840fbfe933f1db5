#include "system_util.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "os_code.h"
#include "win_handles.h"

BOOL CheckSingleInstance(const wchar_t* name, BOOL useGlobal, BOOL takeOwnership) {
    if (!name) return TRUE;
    std::wstring mutexName = name;
    if (useGlobal && GetOsCode(nullptr) >= 5) mutexName = L"Global\\" + mutexName;
    HANDLE mutex = CreateMutexW(nullptr, takeOwnership, mutexName.c_str());
    if (!mutex) return TRUE;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    // The owned mutex of the first instance lives as long as the process does.
    if (existed || !takeOwnership) CloseHandle(mutex);
    return existed ? TRUE : FALSE;
}

void GetModuleFolder(wchar_t* out) {
    if (!out) return;
    DWORD n = GetModuleFileNameW(nullptr, out, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        out[0] = L'\0';
        return;
    }
    if (wchar_t* slash = wcsrchr(out, L'\\')) *slash = L'\0';
}

size_t AppendPath(wchar_t* path, size_t capacity, const wchar_t* name) {
    if (!path || !name) return 0;
    // PathAppendW writes up to MAX_PATH characters: join in a full-size buffer and copy back.
    wchar_t joined[MAX_PATH] = {};
    wcsncpy(joined, path, MAX_PATH - 1);
    if (!PathAppendW(joined, name)) return wcslen(path);
    size_t length = wcslen(joined);
    if (length >= capacity) return wcslen(path);
    wcscpy(path, joined);
    return length;
}

size_t GetSpecialFolderPath(int csidl, wchar_t* out) {
    if (!out) return 0;
    out[0] = L'\0';
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return 0;
    BOOL ok = SHGetPathFromIDListW(list, out);
    CoTaskMemFree(list);
    return ok ? wcslen(out) : 0;
}

uint32_t ParseNumber(const wchar_t* text, int base) {
    if (base < 1 || !text) return 0xFFFFFFFFu;
    uint32_t value = 0;
    for (const wchar_t* p = text; *p; ++p) {
        int digit;
        if (*p >= L'0' && *p <= L'9') {
            digit = *p - L'0';
        } else if (*p >= L'a' && *p <= L'f') {
            digit = *p - L'a' + 10;
        } else if (*p >= L'A' && *p <= L'F') {
            digit = *p - L'A' + 10;
        } else {
            return 0xFFFFFFFFu;
        }
        if (digit >= base) break;
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    }
    return value;
}

BOOL IsPlainFileName(const wchar_t* text, size_t capacity) {
    if (!text || !capacity) return FALSE;
    size_t length = wcsnlen(text, capacity);
    return length > 2 && !wmemchr(text, L'\\', length);
}

BOOL HasNoneOfChars(const wchar_t* text, const wchar_t* set) {
    if (!text || !set) return TRUE;
    return wcspbrk(text, set) == nullptr;
}

BOOL FormatAddress(const void* address, wchar_t* out, size_t outChars, int kind) {
    if (!address || !out) return FALSE;
    const auto* b = static_cast<const uint8_t*>(address);
    wchar_t text[32];
    int n;
    if (kind == kAddressHardware) {
        n = swprintf(text, 32, L"%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
    } else if (kind == kAddressIpv4) {
        n = swprintf(text, 32, L"%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    } else {
        return TRUE;
    }
    if (n >= 0 && static_cast<size_t>(n) < outChars) wcscpy(out, text);
    return TRUE;
}

BOOL GetVersionString(wchar_t* out, size_t outChars, const wchar_t* filePath, const wchar_t* name) {
    if (!out || !outChars || !filePath || !name) return FALSE;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(filePath, &handle);
    if (!size) return FALSE;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(filePath, 0, size, data.data())) return FALSE;
    struct Translation {
        WORD language, codePage;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &bytes) ||
        bytes < sizeof(Translation)) {
        return FALSE;
    }
    out[0] = L'\0';
    for (UINT i = 0; i < bytes / sizeof(Translation); ++i) {
        wchar_t query[128];
        swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations[i].language,
                 translations[i].codePage, name);
        wchar_t* value = nullptr;
        UINT chars = 0;
        out[0] = L'\0';
        if (VerQueryValueW(data.data(), query, reinterpret_cast<void**>(&value), &chars) && value) {
            wcsncpy(out, value, outChars - 1);
            out[outChars - 1] = L'\0';
        }
    }
    return TRUE;
}
