#include "system_library.h"

#include <cstdio>

void RestrictDllSearch() {
    using SetDefaultFn = BOOL(WINAPI*)(DWORD);
    // Found by name: systems before Windows 8 without the update that added it lack it; there
    // the full paths of LoadSystemLibrary and the delay imports' System32 copies still hold.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = kernel ? reinterpret_cast<SetDefaultFn>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                             : nullptr;
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    char full[MAX_PATH];
    int written = snprintf(full, sizeof full, "%s\\%s", path, name);
    if (written < 0 || written >= static_cast<int>(sizeof full)) return nullptr;
    // The library's own imports are then looked for beside it, in System32.
    return LoadLibraryExA(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
