// Small system helpers of the utility: single instance, paths, numbers, addresses, versions.
#pragma once

#include <windows.h>

#include <cstdint>

// TRUE when another instance holds the mutex (or it cannot be created). With takeOwnership a
// new mutex is kept, owned, for the life of the process.
BOOL CheckSingleInstance(const wchar_t* name, BOOL useGlobal, BOOL takeOwnership);

void GetModuleFolder(wchar_t* out);  // MAX_PATH characters, no trailing separator
size_t AppendPath(wchar_t* path, size_t capacity, const wchar_t* name);
size_t GetSpecialFolderPath(int csidl, wchar_t* out);  // MAX_PATH characters

// Digits 0-9, a-f, A-F while below the base; -1 (all bits) for a bad base or character.
uint32_t ParseNumber(const wchar_t* text, int base);
BOOL IsPlainFileName(const wchar_t* text, size_t capacity);
BOOL HasNoneOfChars(const wchar_t* text, const wchar_t* set);

constexpr int kAddressHardware = 1;  // six bytes
constexpr int kAddressIpv4 = 2;      // u32 in network order
BOOL FormatAddress(const void* address, wchar_t* out, size_t outChars, int kind);

// The version-resource string `name` of a file, through its translation table.
BOOL GetVersionString(wchar_t* out, size_t outChars, const wchar_t* filePath, const wchar_t* name);
