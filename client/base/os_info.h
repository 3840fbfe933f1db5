// The library's OS code (0 unknown, 1 Windows 95 ... 8 Windows Vista and later), its flags
// and the texts the log shows for them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

constexpr int kOsUnknown = 0;
constexpr int kOsWin95 = 1;
constexpr int kOsWin98 = 2;
constexpr int kOsWinMe = 3;
constexpr int kOsWinNt = 4;
constexpr int kOsWin2000 = 5;
constexpr int kOsWinXp = 6;
constexpr int kOsWin2003 = 7;
constexpr int kOsVista = 8;

// XP SP2 or later, Server 2003 with a service pack, or any later release.
constexpr uint32_t kOsFlagFirewall = 0x1;
constexpr uint32_t kOsFlag64Bit = 0x2;

// What the version query and the processor query tell.
struct OsVersionFacts {
    DWORD platformId = 0;         // VER_PLATFORM_WIN32_WINDOWS, VER_PLATFORM_WIN32_NT
    DWORD major = 0;
    DWORD minor = 0;
    BYTE productType = 0;         // VER_NT_WORKSTATION, VER_NT_SERVER, ...
    WORD servicePackMajor = 0;
    bool is64Bit = false;
};

// Maps the facts to an OS code and its flags (flags may be null).
int OsCodeFromVersion(const OsVersionFacts& facts, uint32_t* flags);

// The service pack number after "Service Pack " in a version's service-pack text; 0 when absent.
int ServicePackFromText(const char* servicePackText);

// The OS code of the running system; flags and servicePack may be null.
int GetOsCode(uint32_t* flags, int* servicePack);

// "Windows XP(x64) Service Pack 2" style name; "0x%08x" of an unknown code.
std::string OsNameText(int code, uint32_t flags, int servicePack);
// "0x%08x" of the flags, followed by "(FireWall)" when the firewall flag is set.
std::string OsFlagsText(uint32_t flags);

// Both texts into caller buffers (each cut to its capacity and terminated; null skips it).
void OsTexts(int code, uint32_t flags, int servicePack, char* name, size_t nameCap,
             char* flagsText, size_t flagsCap);
