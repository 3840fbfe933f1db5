// Registry values read and written by path, each call opening and closing its key.
#pragma once

#include <windows.h>

// 1 when the value was read; *size in: buffer bytes, out: bytes stored.
int ReadRegistryValue(HKEY root, const char* subKey, const char* name, void* data, DWORD* size, DWORD* type);
// The same routine under the name some callers use.
inline int QueryRegistryValue(HKEY root, const char* subKey, const char* name, void* data, DWORD* size,
                              DWORD* type) {
    return ReadRegistryValue(root, subKey, name, data, size, type);
}
// Sets the value, creating the key when it does not exist.
int WriteRegistryValue(HKEY root, const char* subKey, const char* name, const void* data, DWORD size, DWORD type);
// Sets the value of an existing key only.
int SetRegistryValue(HKEY root, const char* subKey, const char* name, const void* data, DWORD size, DWORD type);
