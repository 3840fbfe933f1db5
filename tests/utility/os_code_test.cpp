// The OsCode: the fallback rule on version facts, and the version-test road across Wine's
// per-program Windows version override.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "os_code.h"
#include "registry_util.h"
#include "test_support.h"

namespace {

TEST(OsCodeFromVersionFacts, MapsEachPlatformAndVersion) {
    constexpr BYTE ws = VER_NT_WORKSTATION, srv = VER_NT_SERVER, dc = VER_NT_DOMAIN_CONTROLLER;
    struct Case {
        OsVersionFacts facts;
        int code;
        uint32_t flags;
    } cases[] = {
        {{true, true, VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0, ws, false}, 1, 0},
        {{true, true, VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, ws, false}, 2, 0},
        {{true, true, VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0, ws, false}, 3, 0},
        {{true, false, VER_PLATFORM_WIN32_NT, 4, 0, 6, ws, false}, 4, 0},
        {{true, false, VER_PLATFORM_WIN32_NT, 5, 1, 2, ws, false}, 0, 0},
        {{true, true, VER_PLATFORM_WIN32_NT, 5, 0, 4, ws, false}, 5, 0},
        {{true, true, VER_PLATFORM_WIN32_NT, 5, 1, 1, ws, false}, 6, 0},
        {{true, true, VER_PLATFORM_WIN32_NT, 5, 1, 3, ws, false}, 6, 1},
        {{true, true, VER_PLATFORM_WIN32_NT, 5, 2, 1, srv, true}, 7, 3},
        {{true, true, VER_PLATFORM_WIN32_NT, 5, 2, 0, ws, true}, 6, 2},
        {{true, true, VER_PLATFORM_WIN32_NT, 5, 3, 0, ws, false}, 0, 0},
        {{true, true, VER_PLATFORM_WIN32_NT, 6, 0, 0, ws, false}, 8, 1},
        {{true, true, VER_PLATFORM_WIN32_NT, 6, 1, 0, dc, true}, 11, 3},
        {{true, true, VER_PLATFORM_WIN32_NT, 6, 3, 0, ws, true}, 14, 3},
        {{true, true, VER_PLATFORM_WIN32_NT, 6, 9, 0, srv, false}, 15, 1},
        {{true, true, VER_PLATFORM_WIN32_NT, 10, 0, 0, ws, true}, 16, 3},
        {{true, true, VER_PLATFORM_WIN32_NT, 11, 0, 0, srv, false}, 17, 1},
        {{false, true, VER_PLATFORM_WIN32_NT, 10, 0, 0, ws, false}, 0, 0},
        {{true, true, 7, 10, 0, 0, ws, false}, 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t flags = 99;
        EXPECT_EQ(OsCodeFromVersionFacts(c.facts, &flags), c.code)
            << c.facts.platform << " " << c.facts.major << "." << c.facts.minor;
        EXPECT_EQ(flags, c.flags) << c.facts.major << "." << c.facts.minor;
    }
}

// Runs the probe program under a Wine version override and returns what it printed.
std::string RunProbe(const wchar_t* version) {
    const wchar_t* key = L"Software\\Wine\\AppDefaults\\os_code_probe.exe";
    WriteRegistryValue(HKEY_CURRENT_USER, key, L"Version", version,
                       static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)), REG_SZ);
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &sa, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + BesideTest(L"os_code_probe.exe") + L"\"";
    std::string output;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
        CloseHandle(writeEnd);
        writeEnd = nullptr;
        char buffer[128];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read) output.append(buffer, read);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    if (writeEnd) CloseHandle(writeEnd);
    CloseHandle(readEnd);
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return output;
}

TEST(GetOsCode, FollowsTheWindowsVersionThatWineReports) {
    // Wine gives some versions a server product type (its "win7" is one), so the probe also
    // prints the product type and the code is checked against the matching edition.
    struct Case {
        const wchar_t* version;
        int workstation, server;
        uint32_t flags;
    } cases[] = {
        {L"winxp", 6, 6, 1},  // 5.1 SP3: no 64-bit flag on this road
        {L"winxp64", 6, 7, 3}, {L"win2003", 7, 7, 3}, {L"vista", 8, 9, 3}, {L"win2008", 8, 9, 3},
        {L"win7", 10, 11, 3},  {L"win8", 12, 13, 3},  {L"win81", 14, 15, 3}, {L"win10", 16, 17, 3},
    };
    for (const Case& c : cases) {
        std::string name(c.version, c.version + wcslen(c.version));
        int code = -1, type = -1;
        unsigned flags = 0;
        ASSERT_EQ(sscanf(RunProbe(c.version).c_str(), "%d %u %d", &code, &flags, &type), 3) << name;
        EXPECT_EQ(code, type == VER_NT_WORKSTATION ? c.workstation : c.server) << name << " type " << type;
        EXPECT_EQ(flags, c.flags) << name;
    }
}

TEST(GetOsName, NamesTheCodeAndBitness) {
    wchar_t name[256] = L"unchanged";
    EXPECT_FALSE(GetOsName(nullptr, 10));
    EXPECT_FALSE(GetOsName(name, 0));
    ASSERT_TRUE(GetOsName(name, 256));
    EXPECT_NE(wcsstr(name, L"(64bit) (OS = "), nullptr) << name;
    wchar_t tiny[8] = L"keep";
    EXPECT_TRUE(GetOsName(tiny, 8));
    EXPECT_STREQ(tiny, L"keep");
}

}  // namespace
