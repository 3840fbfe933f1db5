#include "os_code.h"

#include <cstdio>
#include <cwchar>

namespace {

using VerifyVersionInfoFn = BOOL(WINAPI*)(OSVERSIONINFOEXW*, DWORD, DWORDLONG);
using VerSetConditionMaskFn = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);
using GetVersionExFn = BOOL(WINAPI*)(OSVERSIONINFOW*);

struct VersionTest {
    VerifyVersionInfoFn verify;
    VerSetConditionMaskFn mask;

    bool AtLeast(DWORD major, DWORD minor, WORD servicePack) const {
        OSVERSIONINFOEXW info{};
        info.dwOSVersionInfoSize = sizeof(info);
        info.dwMajorVersion = major;
        info.dwMinorVersion = minor;
        info.wServicePackMajor = servicePack;
        ULONGLONG condition = 0;
        condition = mask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
        condition = mask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
        condition = mask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
        return verify(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                      condition) != FALSE;
    }
    bool IsServer() const {
        OSVERSIONINFOEXW info{};
        info.dwOSVersionInfoSize = sizeof(info);
        info.wProductType = VER_NT_WORKSTATION;
        ULONGLONG condition = mask(0, VER_PRODUCT_TYPE, VER_EQUAL);
        return verify(&info, VER_PRODUCT_TYPE, condition) == FALSE;
    }
};

HMODULE Kernel32() { return GetModuleHandleW(L"Kernel32.dll"); }

int OsCodeByVersionTest(const VersionTest& test, uint32_t* flags) {
    const bool server = test.IsServer();
    const uint32_t bits = GetNativeSystemInfoDyn() ? kOs64Bit : 0;
    struct Step {
        DWORD major, minor;
        int workstation, server;
    };
    static constexpr Step kModern[] = {{10, 0, 16, 17}, {6, 3, 14, 15}, {6, 2, 12, 13},
                                       {6, 1, 10, 11},  {6, 0, 8, 9}};
    for (const Step& step : kModern) {
        if (test.AtLeast(step.major, step.minor, 0)) {
            *flags = kOsServicePack | bits;
            return server ? step.server : step.workstation;
        }
    }
    if (test.AtLeast(5, 2, 0) && (server || bits)) {
        *flags = bits | (test.AtLeast(5, 2, 1) ? kOsServicePack : 0);
        return server ? 7 : 6;
    }
    if (test.AtLeast(5, 1, 0)) {
        *flags = test.AtLeast(5, 1, 2) ? kOsServicePack : 0;
        return 6;
    }
    *flags = 0;
    return test.AtLeast(5, 0, 0) ? 5 : 0;
}

}  // namespace

int OsCodeFromVersionFacts(const OsVersionFacts& f, uint32_t* flags) {
    *flags = 0;
    if (!f.plainOk) return 0;
    if (f.platform == VER_PLATFORM_WIN32_WINDOWS) {
        return f.minor == 0 ? 1 : f.minor == 90 ? 3 : 2;
    }
    if (f.platform != VER_PLATFORM_WIN32_NT) return 0;
    if (f.major == 4) return 4;
    if (!f.extendedOk) return 0;
    const bool workstation = f.productType == VER_NT_WORKSTATION;
    const uint32_t bits = f.is64 ? kOs64Bit : 0;
    if (f.major == 5) {
        if (f.minor == 0) return 5;
        if (f.minor == 1) {
            *flags = f.servicePackMajor >= 2 ? kOsServicePack : 0;
            return 6;
        }
        if (f.minor == 2) {
            *flags = bits | (f.servicePackMajor >= 1 ? kOsServicePack : 0);
            return f.productType == VER_NT_SERVER ? 7 : 6;
        }
        return 0;
    }
    *flags = kOsServicePack | bits;
    if (f.major == 6) {
        static constexpr int kByMinor[] = {8, 10, 12, 14};
        int code = f.minor < 4 ? kByMinor[f.minor] : 14;
        return workstation ? code : code + 1;
    }
    return workstation ? 16 : 17;
}

BOOL GetNativeSystemInfoDyn() {
    using Fn = void(WINAPI*)(SYSTEM_INFO*);
    auto native = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(Kernel32(), "GetNativeSystemInfo")));
    if (!native) return FALSE;
    SYSTEM_INFO info{};
    native(&info);
    WORD arch = info.wProcessorArchitecture;
    return arch == PROCESSOR_ARCHITECTURE_IA64 || arch == PROCESSOR_ARCHITECTURE_AMD64 ||
           arch == PROCESSOR_ARCHITECTURE_IA32_ON_WIN64;
}

int GetOsCode(uint32_t* flagsOut) {
    uint32_t flags = 0;
    HMODULE kernel = Kernel32();
    VersionTest test{
        reinterpret_cast<VerifyVersionInfoFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "VerifyVersionInfoW"))),
        reinterpret_cast<VerSetConditionMaskFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "VerSetConditionMask")))};
    int code = 0;
    if (test.verify && test.mask) {
        code = OsCodeByVersionTest(test, &flags);
    } else if (auto getVersion = reinterpret_cast<GetVersionExFn>(
                   reinterpret_cast<void*>(GetProcAddress(kernel, "GetVersionExW")))) {
        OSVERSIONINFOW plain{};
        plain.dwOSVersionInfoSize = sizeof(plain);
        OSVERSIONINFOEXW ex{};
        ex.dwOSVersionInfoSize = sizeof(ex);
        OsVersionFacts facts{};
        facts.plainOk = getVersion(&plain) != FALSE;
        facts.extendedOk = getVersion(reinterpret_cast<OSVERSIONINFOW*>(&ex)) != FALSE;
        facts.platform = plain.dwPlatformId;
        facts.major = plain.dwMajorVersion;
        facts.minor = plain.dwMinorVersion;
        facts.servicePackMajor = ex.wServicePackMajor;
        facts.productType = ex.wProductType;
        facts.is64 = GetNativeSystemInfoDyn() != FALSE;
        code = OsCodeFromVersionFacts(facts, &flags);
    }
    if (flagsOut) *flagsOut = flags;
    return code;
}

BOOL GetOsName(wchar_t* out, size_t outChars) {
    if (!out || !outChars) return FALSE;
    static const wchar_t* const kNames[] = {
        L"Windows 95",   L"Windows 98",   L"Windows ME",     L"Windows NT",  L"Windows 2000",
        L"Windows XP",   L"Windows 2003", L"Windows Vista",  L"Windows 2008", L"Windows 7",
        L"Windows 2008R2", L"Windows 8",  L"Windows 2012",   L"Windows 8.1", L"Windows 2012R2",
        L"Windows 10",   L"Windows Server"};
    uint32_t flags = 0;
    int code = GetOsCode(&flags);
    const wchar_t* name = (code >= 1 && code <= 17) ? kNames[code - 1] : L"Unknown OS";
    const wchar_t* bits = (flags & kOs64Bit) ? L"64" : L"32";
    wchar_t text[256];
    auto getVersion = reinterpret_cast<GetVersionExFn>(
        reinterpret_cast<void*>(GetProcAddress(Kernel32(), "GetVersionExW")));
    OSVERSIONINFOEXW ex{};
    ex.dwOSVersionInfoSize = sizeof(ex);
    int n;
    if (getVersion && getVersion(reinterpret_cast<OSVERSIONINFOW*>(&ex))) {
        n = swprintf(text, 256, L"%ls(%lsbit) (OS = %lu.%lu.%lu, SP = %u.%u)", name, bits,
                     ex.dwMajorVersion, ex.dwMinorVersion, ex.dwBuildNumber,
                     ex.wServicePackMajor, ex.wServicePackMinor);
    } else {
        n = swprintf(text, 256, L"%ls(%lsbit)", name, bits);
    }
    if (n >= 0 && static_cast<size_t>(n) < outChars) wcscpy(out, text);
    return TRUE;
}
