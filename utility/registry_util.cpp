#include "registry_util.h"

#include <cwchar>

#include "registry_roots.h"
#include "win_handles.h"


HKEY SplitRegistryPath(const wchar_t* path, wchar_t* subKeyOut, size_t subKeyChars) {
    if (!path || !subKeyOut) return nullptr;
    const wchar_t* slash = wcschr(path, L'\\');
    if (!slash) return nullptr;
    size_t rootLength = static_cast<size_t>(slash - path);
    const wchar_t* rest = slash + 1;
    if (wcslen(rest) >= subKeyChars) return nullptr;
    HKEY root = FindRegistryRoot(path, rootLength);
    if (root) wcscpy(subKeyOut, rest);
    return root;
}

BOOL ReadRegistryValue(HKEY root, const wchar_t* subKey, const wchar_t* name, void* data,
                       DWORD* dataBytes, DWORD* type) {
    qz::RegKey key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return FALSE;
    return RegQueryValueExW(key.get(), name, nullptr, type, static_cast<BYTE*>(data), dataBytes) ==
           ERROR_SUCCESS;
}

BOOL ReadOrCreateRegistryValue(HKEY root, const wchar_t* subKey, const wchar_t* name, void* data,
                               DWORD* dataBytes, DWORD type) {
    if (!dataBytes) return FALSE;
    qz::RegKey key;
    if (RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return FALSE;
    }
    DWORD size = *dataBytes;
    DWORD actualType = 0;
    LONG rc = RegQueryValueExW(key.get(), name, nullptr, &actualType, static_cast<BYTE*>(data), &size);
    if (rc == ERROR_SUCCESS) {
        *dataBytes = size;
        return TRUE;
    }
    if (rc != ERROR_FILE_NOT_FOUND) return FALSE;
    return RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), *dataBytes) ==
           ERROR_SUCCESS;
}

BOOL WriteRegistryValue(HKEY root, const wchar_t* subKey, const wchar_t* name, const void* data,
                        DWORD dataBytes, DWORD type) {
    qz::RegKey key;
    if (RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return FALSE;
    }
    return RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), dataBytes) ==
           ERROR_SUCCESS;
}
