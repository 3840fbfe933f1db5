// Registry paths written as "ROOT\sub\key" and value access.
#pragma once

#include <windows.h>

// The root named before the first backslash (HLM, HCU, HCR, HU, HCC or their long names, any
// case); the rest goes to subKeyOut. 0 for anything else or a sub-key that does not fit.
HKEY SplitRegistryPath(const wchar_t* path, wchar_t* subKeyOut, size_t subKeyChars);
BOOL ReadRegistryValue(HKEY root, const wchar_t* subKey, const wchar_t* name, void* data,
                       DWORD* dataBytes, DWORD* type);
// Reads the value; when it is missing, writes the caller's data as the default.
BOOL ReadOrCreateRegistryValue(HKEY root, const wchar_t* subKey, const wchar_t* name, void* data,
                               DWORD* dataBytes, DWORD type);
BOOL WriteRegistryValue(HKEY root, const wchar_t* subKey, const wchar_t* name, const void* data,
                        DWORD dataBytes, DWORD type);
