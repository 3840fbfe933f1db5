#include "os_info.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// Passes every question straight to the system's narrow functions, each found by name.
class SystemOsVersionQuery final : public qz::OsVersionQuery {
public:
    bool HasVersionTest() override { return Mask() && Verify(); }
    bool IsAtLeast(uint32_t major, uint32_t minor, uint16_t servicePack) override {
        auto mask = Mask();
        auto verify = Verify();
        if (!mask || !verify) return false;
        OSVERSIONINFOEXA info{};
        info.dwOSVersionInfoSize = sizeof info;
        info.dwMajorVersion = major;
        info.dwMinorVersion = minor;
        info.wServicePackMajor = servicePack;
        ULONGLONG cond = mask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
        cond = mask(cond, VER_MINORVERSION, VER_GREATER_EQUAL);
        cond = mask(cond, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
        return verify(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, cond) != FALSE;
    }
    bool IsServer() override {
        auto mask = Mask();
        auto verify = Verify();
        if (!mask || !verify) return false;
        OSVERSIONINFOEXA info{};
        info.dwOSVersionInfoSize = sizeof info;
        info.wProductType = VER_NT_WORKSTATION;
        return verify(&info, VER_PRODUCT_TYPE, mask(0, VER_PRODUCT_TYPE, VER_EQUAL)) == FALSE;
    }
    bool Is64Bit() override {
        using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
        auto native = reinterpret_cast<NativeInfoFn>(Find("GetNativeSystemInfo"));
        if (!native) return false;
        SYSTEM_INFO info{};
        native(&info);
        WORD arch = info.wProcessorArchitecture;
        return arch == PROCESSOR_ARCHITECTURE_IA64 || arch == PROCESSOR_ARCHITECTURE_AMD64 ||
               arch == PROCESSOR_ARCHITECTURE_IA32_ON_WIN64;
    }
    bool HasGetVersionEx() override { return GetVersionExFn() != nullptr; }
    bool GetPlainVersion(qz::OsVersionRecord& out) override {
        auto get = GetVersionExFn();
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!get || !get(&info)) return false;
        Fill(out, info);
        return true;
    }
    bool GetExtendedVersion(qz::OsVersionRecord& out) override {
        auto get = GetVersionExFn();
        OSVERSIONINFOEXA info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!get || !get(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
        Fill(out, info);
        out.servicePackMajor = info.wServicePackMajor;
        out.servicePackMinor = info.wServicePackMinor;
        out.productType = info.wProductType;
        return true;
    }

private:
    using MaskFn = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);
    using VerifyFn = BOOL(WINAPI*)(LPOSVERSIONINFOEXA, DWORD, DWORDLONG);
    using VersionFn = BOOL(WINAPI*)(LPOSVERSIONINFOA);
    static void* Find(const char* name) {
        HMODULE kernel = GetModuleHandleA("Kernel32.dll");
        return kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
    }
    static MaskFn Mask() { return reinterpret_cast<MaskFn>(Find("VerSetConditionMask")); }
    static VerifyFn Verify() { return reinterpret_cast<VerifyFn>(Find("VerifyVersionInfoA")); }
    static VersionFn GetVersionExFn() { return reinterpret_cast<VersionFn>(Find("GetVersionExA")); }
    template <typename Info>
    static void Fill(qz::OsVersionRecord& out, const Info& info) {
        out.platformId = info.dwPlatformId;
        out.major = info.dwMajorVersion;
        out.minor = info.dwMinorVersion;
        out.build = info.dwBuildNumber;
        out.servicePackText.assign(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
    }
};

SystemOsVersionQuery g_systemSource;
qz::OsVersionQuery* g_source = nullptr;  // set by tests only, before any detection runs

std::mutex g_recordLock;  // guards g_recorded
RecordedOsVersion g_recorded;

const char* const kOsWords[18][2] = {
    {nullptr, nullptr}, {"95", "95"},         {"98", "98"},         {"ME", "ME"},           {"NT", "NT"},
    {"2K", "2K"},       {"XP", "XPX64"},      {"2003", "2003X64"},  {"VISTA", "VISTAX64"},  {"2008", "2008X64"},
    {"7", "7X64"},      {"2008R2", "2008R2X64"}, {"8", "8X64"},     {"2012", "2012X64"},    {"81", "81X64"},
    {"2012R2", "2012R2X64"}, {"10", "10X64"}, {"SERVER", "SERVERX64"}};

}  // namespace

qz::OsVersionQuery& OsVersionSource() { return g_source ? *g_source : g_systemSource; }
void SetOsVersionSource(qz::OsVersionQuery* source) { g_source = source; }

int GetOsVersionCode(uint32_t* flags) {
    qz::OsCodeResult r = qz::ComputeOsCode(OsVersionSource());
    if (r.recorded) {
        std::lock_guard<std::mutex> guard(g_recordLock);
        g_recorded.major = r.major;
        g_recorded.minor = r.minor;
        g_recorded.servicePack = r.servicePack;
        lstrcpynA(g_recorded.servicePackText, r.servicePackText.c_str(), sizeof g_recorded.servicePackText);
    }
    if (flags) *flags = r.flags;
    return r.code;
}

RecordedOsVersion RecordedOsVersionValues() {
    std::lock_guard<std::mutex> guard(g_recordLock);
    return g_recorded;
}

bool IsVersionAtLeast(DWORD major, DWORD minor, WORD servicePack) {
    return OsVersionSource().IsAtLeast(major, minor, servicePack);
}
bool IsServerProduct() { return OsVersionSource().IsServer(); }
bool Is64BitWindows() { return OsVersionSource().Is64Bit(); }

int GetOsKeyWord(int code, uint32_t flags, char* buffer, size_t size) {
    if (code < 1 || code > 17 || !buffer || size == 0) return 0;
    const char* word = kOsWords[code][(flags & kOsFlag64Bit) ? 1 : 0];
    if (std::strlen(word) >= size) return 0;
    std::strcpy(buffer, word);
    return 1;
}

int GetOsDescription(char* buffer, size_t size) {
    if (!buffer || size == 0) return 0;
    uint32_t flags = 0;
    int code = GetOsVersionCode(&flags);
    const char* name = qz::OsCodeName(code);
    const char* bits = (flags & kOsFlag64Bit) ? "64" : "32";
    char text[256];
    qz::OsVersionRecord ex;
    if (OsVersionSource().GetExtendedVersion(ex)) {
        std::snprintf(text, sizeof text, "%s(%sbit) (OS = %u.%u.%u, SP = %u.%u)", name, bits, ex.major, ex.minor,
                      ex.build, ex.servicePackMajor, ex.servicePackMinor);
    } else {
        int n = std::snprintf(text, sizeof text, "%s (%s bit)", name, bits);
        uint32_t sp = RecordedOsVersionValues().servicePack;
        if (sp != 0 && n > 0) std::snprintf(text + n, sizeof text - n, " (SP %u) ", sp);
    }
    if (std::strlen(text) < size) std::strcpy(buffer, text);
    return 1;
}
