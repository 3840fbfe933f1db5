#include "os_info.h"

#include "win_handles.h"
#include "text_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int NtOsCode(const OsVersionFacts& facts, uint32_t* flags) {
    if (facts.major == 4) return kOsWinNt;
    if (facts.major == 5) {
        if (facts.minor == 0) return kOsWin2000;
        if (facts.minor == 1) {
            if (facts.servicePackMajor > 1) *flags |= kOsFlagFirewall;
            return kOsWinXp;
        }
        if (facts.minor == 2) {
            // 5.2 is Server 2003, and also XP x64 on a workstation.
            if (facts.servicePackMajor > 0) *flags |= kOsFlagFirewall;
            if (facts.is64Bit) *flags |= kOsFlag64Bit;
            return facts.productType == VER_NT_WORKSTATION ? kOsWinXp : kOsWin2003;
        }
        return kOsUnknown;
    }
    if (facts.major >= 6) {
        *flags |= kOsFlagFirewall;
        if (facts.is64Bit) *flags |= kOsFlag64Bit;
        return kOsVista;
    }
    return kOsUnknown;
}

bool Is64BitProcessor() {
    using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    qz::Module kernel(LoadLibraryA("Kernel32.dll"));
    if (!kernel) return false;
    auto getNativeInfo = reinterpret_cast<NativeInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel.get(), "GetNativeSystemInfo")));
    if (!getNativeInfo) return false;
    SYSTEM_INFO info{};
    getNativeInfo(&info);
    WORD arch = info.wProcessorArchitecture;
    return arch == PROCESSOR_ARCHITECTURE_IA64 || arch == PROCESSOR_ARCHITECTURE_AMD64 ||
           arch == PROCESSOR_ARCHITECTURE_IA32_ON_WIN64;
}

}  // namespace

int OsCodeFromVersion(const OsVersionFacts& facts, uint32_t* flags) {
    uint32_t bits = 0;
    int code = kOsUnknown;
    if (facts.platformId == VER_PLATFORM_WIN32_WINDOWS) {
        code = facts.minor == 0 ? kOsWin95 : facts.minor == 90 ? kOsWinMe : kOsWin98;
    } else if (facts.platformId == VER_PLATFORM_WIN32_NT) {
        code = NtOsCode(facts, &bits);
    }
    if (flags) *flags = bits;
    return code;
}

int ServicePackFromText(const char* servicePackText) {
    if (!servicePackText) return 0;
    const char* mark = std::strstr(servicePackText, "Service Pack ");
    if (!mark) return 0;
    return std::atoi(mark + std::strlen("Service Pack "));
}

int GetOsCode(uint32_t* flags, int* servicePack) {
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    if (!ok) {
        // Systems before NT 4 SP6 know only the short record.
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    }
#pragma GCC diagnostic pop
    if (!ok) {
        if (flags) *flags = 0;
        if (servicePack) *servicePack = 0;
        return kOsUnknown;
    }
    version.szCSDVersion[sizeof version.szCSDVersion - 1] = '\0';
    OsVersionFacts facts;
    facts.platformId = version.dwPlatformId;
    facts.major = version.dwMajorVersion;
    facts.minor = version.dwMinorVersion;
    facts.productType = version.wProductType;
    facts.servicePackMajor = version.wServicePackMajor;
    facts.is64Bit = Is64BitProcessor();
    if (servicePack) *servicePack = ServicePackFromText(version.szCSDVersion);
    return OsCodeFromVersion(facts, flags);
}

std::string OsNameText(int code, uint32_t flags, int servicePack) {
    static const char* const kNames[] = {nullptr,        "Windows 95",   "Windows 98",
                                         "Windows ME",   "Windows NT",   "Windows 2000",
                                         "Windows XP",   "Windows 2003", "Windows Vista"};
    char text[96];
    if (code > 0 && code <= kOsVista) {
        CopyCut(kNames[code], text);
    } else {
        std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
    }
    std::string name = text;
    if (flags & kOsFlag64Bit) name += "(x64)";
    std::snprintf(text, sizeof text, " Service Pack %d", servicePack);
    return name + text;
}

std::string OsFlagsText(uint32_t flags) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(flags));
    std::string result = text;
    if (flags & kOsFlagFirewall) result += "(FireWall)";
    return result;
}

void OsTexts(int code, uint32_t flags, int servicePack, char* name, size_t nameCap,
             char* flagsText, size_t flagsCap) {
    CopyCut(OsNameText(code, flags, servicePack), name, nameCap);
    CopyCut(OsFlagsText(flags), flagsText, flagsCap);
}
