// The utility's own OsCode: 0 unknown, 1 Windows 95 ... 16 Windows 10, 17 Windows Server on the
// 10.0 kernel; flags: bit 0 service-pack level reached, bit 1 64-bit Windows.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr uint32_t kOsServicePack = 0x1;
constexpr uint32_t kOs64Bit = 0x2;

// The version facts the fallback rule decides on (GetVersionExW's answers).
struct OsVersionFacts {
    bool plainOk;      // the plain version call succeeded
    bool extendedOk;   // the extended call succeeded
    DWORD platform;
    DWORD major;
    DWORD minor;
    WORD servicePackMajor;
    BYTE productType;  // VER_NT_WORKSTATION, ...
    bool is64;
};

int OsCodeFromVersionFacts(const OsVersionFacts& facts, uint32_t* flags);
int GetOsCode(uint32_t* flags);
BOOL GetOsName(wchar_t* out, size_t outChars);
BOOL GetNativeSystemInfoDyn();
