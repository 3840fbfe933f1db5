#include "driver_version.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "hid_filter.h"
#include "lib_state.h"
#include "system_util.h"

namespace {
constexpr const char* kDefaultVersionDriver = "Zkuptp";
constexpr const char* kHidFilterDriver = "Zkhidflt";
}  // namespace

int QueryDriverVersion(DriverVersionInfo* info) {
    if (!info) return 0;
    char name[sizeof info->name] = {};
    std::strcpy(name, kDefaultVersionDriver);
    if (g_lib.driverName[0]) std::strcpy(name, g_lib.driverName);
    size_t given = strnlen(info->name, sizeof info->name);
    if (given == sizeof info->name) return 0;  // not terminated within its field
    if (given > 0) std::memcpy(name, info->name, given + 1);

    // The filter's file can stay behind after the filter was removed: ask the devices first.
    if (_stricmp(name, kHidFilterDriver) == 0 && !HidFilterDevicePresent()) return 0;

    char systemFolder[MAX_PATH] = {};
    UINT folderLength = GetSystemDirectoryA(systemFolder, sizeof systemFolder);
    if (folderLength == 0 || folderLength >= sizeof systemFolder) return 0;
    char path[MAX_PATH + 64];
    int n = std::snprintf(path, sizeof path, "%s\\Drivers\\%s.sys", systemFolder, name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) return 0;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 0;

    DWORD ms = 0;
    DWORD ls = 0;
    if (!FileVersionPart(path, "FileVersionMS", &ms) || !FileVersionPart(path, "FileVersionLS", &ls)) return 0;
    info->major = HIWORD(ms);
    info->minor = LOWORD(ms);
    info->build = HIWORD(ls);
    info->revision = LOWORD(ls);
    std::memset(info->name, 0, sizeof info->name);
    std::strcpy(info->name, name);
    return 1;
}
