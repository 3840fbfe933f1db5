// The running Windows as an OsCode (0-17) with its flags, its INI word and its log text.
#pragma once

#include <windows.h>

#include <os_code.h>

#include <cstdint>

using qz::kOsFlag64Bit;
using qz::kOsFlagSecurityLevel;

// Detects the release; flags (optional) get kOsFlagSecurityLevel and kOsFlag64Bit. Asks the
// system every time and records major, minor and service pack for the OS keys and the log.
int GetOsVersionCode(uint32_t* flags);
bool IsVersionAtLeast(DWORD major, DWORD minor, WORD servicePack);
bool IsServerProduct();
bool Is64BitWindows();
// "Windows 7(64bit) (OS = 6.1.7601, SP = 1.0)"; 0 only for a null buffer or size 0.
int GetOsDescription(char* buffer, size_t size);
// "XP", "7X64", "SERVER", ...; 0 for code 0 or above 17.
int GetOsKeyWord(int code, uint32_t flags, char* buffer, size_t size);

// What the last detection recorded.
struct RecordedOsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t servicePack = 0;
    char servicePackText[128] = "";
};
RecordedOsVersion RecordedOsVersionValues();

// The source of the version answers: the system unless a test sets its own (null: the system).
qz::OsVersionQuery& OsVersionSource();
void SetOsVersionSource(qz::OsVersionQuery* source);
