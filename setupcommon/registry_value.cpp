#include "registry_value.h"

#include <win_handles.h>

int ReadRegistryValue(HKEY root, const char* subKey, const char* name, void* data, DWORD* size, DWORD* type) {
    qz::RegKey key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    return RegQueryValueExA(key.get(), name, nullptr, type, static_cast<BYTE*>(data), size) == ERROR_SUCCESS;
}

int WriteRegistryValue(HKEY root, const char* subKey, const char* name, const void* data, DWORD size, DWORD type) {
    qz::RegKey key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS &&
        RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

int SetRegistryValue(HKEY root, const char* subKey, const char* name, const void* data, DWORD size, DWORD type) {
    qz::RegKey key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return 0;
    return RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}
