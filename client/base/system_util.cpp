#include "system_util.h"

#include "win_handles.h"

#include <cstring>
#include <vector>

bool ProgramFolder(char* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    char path[MAX_PATH + 1] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    char* slash = std::strrchr(path, '\\');
    if (slash) *slash = '\0';
    size_t folderLength = std::strlen(path);
    if (folderLength + 1 > capacity) return false;
    CharToOemBuffA(path, path, static_cast<DWORD>(folderLength));
    std::memcpy(out, path, folderLength + 1);
    return true;
}

int SignalNamedEvent(const char* name) {
    if (!name) return 0;
    qz::Handle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
    if (!event) return 0;
    return SetEvent(event.get()) ? 1 : 0;
}

bool FileVersionPart(const char* path, const char* which, DWORD* value) {
    if (!value) return false;
    *value = 0;
    if (!path || !which) return false;
    bool wantMs = _stricmp(which, "FileVersionMS") == 0;
    if (!wantMs && _stricmp(which, "FileVersionLS") != 0) return false;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoA(path, 0, size, data.data())) return false;
    void* block = nullptr;
    UINT blockSize = 0;
    if (!VerQueryValueA(data.data(), "\\", &block, &blockSize) || !block ||
        blockSize < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, block, sizeof info);
    *value = wantMs ? info.dwFileVersionMS : info.dwFileVersionLS;
    return true;
}
