#include "path_helpers.h"

#include "ini_text.h"

#include <win_handles.h>

#include <cstring>

std::wstring OemToWide(const char* text) {
    if (!text || !*text) return {};
    int n = MultiByteToWideChar(CP_OEMCP, 0, text, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, text, -1, out.data(), n);
    out.resize(n - 1);
    return out;
}

std::string WideToOem(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_OEMCP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(n, '\0');
    WideCharToMultiByte(CP_OEMCP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(n - 1);
    return out;
}

int GetModuleFolder(char* buffer) {
    if (!buffer) return 0;
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) {
        buffer[0] = 0;
        return 0;
    }
    char* slash = std::strrchr(path, '\\');
    if (slash) *slash = 0;
    std::strcpy(buffer, path);
    return 1;
}

int AppendPath(char* path, size_t size, const char* part) {
    if (!path || !part) return -1;
    size_t pathLen = std::strlen(path);
    size_t partLen = std::strlen(part);
    if (size < 2 || pathLen + partLen > size - 2) return -1;
    if (pathLen == 0) {
        std::memcpy(path, part, partLen + 1);
        return static_cast<int>(partLen);
    }
    std::wstring wide = OemToWide(path);
    bool endsWithSlash = !wide.empty() && wide.back() == L'\\';
    if (!endsWithSlash) path[pathLen++] = '\\';
    if (*part == '\\') {
        ++part;
        --partLen;
    }
    std::memcpy(path + pathLen, part, partLen + 1);
    return static_cast<int>(pathLen + partLen);
}

namespace {

// "..", and the names Windows trims to it ("...", ".. "): only dots and blanks, two dots or more.
bool ClimbsUp(const std::wstring& piece) {
    size_t dots = 0;
    for (wchar_t c : piece) {
        if (c == L'.') ++dots;
        else if (c != L' ') return false;
    }
    return dots >= 2;
}

}  // namespace

bool JoinBelowFolder(const std::string& folder, const std::string& part, std::string& out) {
    std::wstring wide = OemToWide(part.c_str());
    if (wide.find(L':') != std::wstring::npos || wide.rfind(L"\\\\", 0) == 0 || wide.rfind(L"/", 0) == 0) {
        return false;
    }
    size_t start = 0;
    while (start <= wide.size()) {
        size_t end = wide.find_first_of(L"\\/", start);
        if (ClimbsUp(wide.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start))) return false;
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    char path[MAX_PATH];
    if (folder.size() >= sizeof path) return false;
    std::memcpy(path, folder.c_str(), folder.size() + 1);
    if (!part.empty() && AppendPath(path, sizeof path, part.c_str()) < 0) return false;
    out = path;
    return true;
}

int GetWindowsFolder(char* buffer, size_t size) {
    if (!buffer || size == 0) return 0;
    using GetFolderFn = UINT(WINAPI*)(LPSTR, UINT);
    auto system = reinterpret_cast<GetFolderFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemWindowsDirectoryA")));
    UINT n = system ? system(buffer, static_cast<UINT>(size)) : GetWindowsDirectoryA(buffer, static_cast<UINT>(size));
    if (n == 0 || n >= size) {
        buffer[0] = 0;
        return 0;
    }
    return 1;
}

int GetTempFolder(size_t size, char* buffer) {
    if (!buffer || size == 0) return 0;
    for (const char* name : {"TMP", "TEMP"}) {
        char value[MAX_PATH * 4];
        DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
        if (n == 0) continue;
        if (n < sizeof value && size > n) {
            std::memcpy(buffer, value, n + 1);
            return 1;
        }
        break;  // set but too long for the buffer: the Windows folder instead
    }
    return GetWindowsFolder(buffer, size);
}

int CreateFolderPath(const char* section, const char* path, DWORD* error, const char* iniPath) {
    if (!path || !*path) return 1;
    std::wstring wide = OemToWide(path);
    std::wstring running;
    size_t start = 0;
    bool first = true;
    std::string keyFormat = section ? std::string(section) + "_%03d" : std::string();
    while (start <= wide.size()) {
        size_t slash = wide.find(L'\\', start);
        std::wstring piece = wide.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
        start = slash == std::wstring::npos ? wide.size() + 1 : slash + 1;
        if (first) {
            running = piece;  // the drive, or the empty start of a UNC or rooted path
            first = false;
            continue;
        }
        running += L'\\';
        running += piece;
        if (piece.empty()) continue;  // a doubled or trailing backslash
        std::string folder = WideToOem(running);
        if (CreateDirectoryA(folder.c_str(), nullptr)) {
            if (section && *section && iniPath && *iniPath) {
                AppendIniListValue(section, keyFormat.c_str(), folder.c_str(), iniPath);
            }
            continue;
        }
        DWORD code = GetLastError();
        if (code != ERROR_ALREADY_EXISTS) {
            if (error) *error = code;
            return 0;
        }
    }
    return 1;
}
