// The settings location ("HCU\Software\..." for the registry, anything else an INI file path)
// and the registry value helpers used for it.
#pragma once

#include <windows.h>

#include <cstddef>

// Splits a location into its registry root and key path. The text before the first backslash
// names the root (HLM/HKEY_LOCAL_MACHINE, HCU/HKEY_CURRENT_USER, HCR/HKEY_CLASSES_ROOT,
// HU/HKEY_USERS, HCC/HKEY_CURRENT_CONFIG; any case). Null (keyPath untouched) when there is
// no backslash, the root is unknown or the key path does not fit: the location is then the
// path of an INI file.
HKEY ParseSettingsLocation(const char* location, char* keyPath, size_t capacity);

// Reads a value. *size is the buffer's capacity in, the bytes read out; type (optional)
// receives the value's type. A string value is always returned terminated: one that does not
// fit with its terminator fails. True on success.
bool RegReadValue(HKEY root, const char* keyPath, const char* valueName, void* buffer,
                  DWORD* size, DWORD* type = nullptr);

// Reads a value of `type` into buffer (capacity `size`); the buffer's content on entry is the
// default. A missing key is created and a missing, unreadable or mistyped value is written
// with the default; an existing value is read and nothing is written. True on success.
bool RegReadOrCreateValue(HKEY root, const char* keyPath, const char* valueName, DWORD type,
                          void* buffer, DWORD size);

// Writes a value, creating the key when it is missing. True on success.
bool RegWriteValue(HKEY root, const char* keyPath, const char* valueName, DWORD type,
                   const void* data, DWORD size);
