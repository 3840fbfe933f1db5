#include "local_users.h"

#include "system_library.h"

#include <win_handles.h>

#include <cstring>

namespace {

// NetUserEnum and friends, found by name in netapi32.dll as the older systems may lack it.
class SystemAccounts final : public AccountPlatform {
public:
    DWORD EnumUserNames(DWORD* resume, std::vector<std::wstring>& page) override {
        using EnumFn = DWORD(WINAPI*)(LPCWSTR, DWORD, DWORD, BYTE**, DWORD, DWORD*, DWORD*, DWORD*);
        using FreeFn = DWORD(WINAPI*)(void*);
        qz::Module netapi(LoadSystemLibrary("netapi32.dll"));
        if (!netapi) return ERROR_MOD_NOT_FOUND;
        auto enumerate = reinterpret_cast<EnumFn>(reinterpret_cast<void*>(GetProcAddress(netapi.get(), "NetUserEnum")));
        auto release = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(GetProcAddress(netapi.get(), "NetApiBufferFree")));
        if (!enumerate || !release) return ERROR_PROC_NOT_FOUND;
        constexpr DWORD kAsMuchAsPossible = 0xFFFFFFFF;  // MAX_PREFERRED_LENGTH
        BYTE* block = nullptr;
        DWORD read = 0, total = 0;
        DWORD status = enumerate(nullptr, 0, 0, &block, kAsMuchAsPossible, &read, &total, resume);
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            auto* names = reinterpret_cast<LPWSTR*>(block);  // USER_INFO_0 is one name pointer
            for (DWORD i = 0; block && i < read; ++i) {
                if (names[i]) page.emplace_back(names[i]);
            }
        }
        if (block) release(block);
        return status;
    }
    bool LookupSid(const std::wstring& name, std::vector<BYTE>& sid) override {
        sid.assign(512, 0);
        DWORD sidSize = static_cast<DWORD>(sid.size());
        wchar_t domain[512];
        DWORD domainChars = 512;
        SID_NAME_USE use;
        if (!LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidSize, domain, &domainChars, &use)) return false;
        sid.resize(sidSize);
        return true;
    }
    LONG LoadHive(const char* keyName, const char* file) override { return RegLoadKeyA(HKEY_USERS, keyName, file); }
    LONG UnloadHive(const char* keyName) override { return RegUnLoadKeyA(HKEY_USERS, keyName); }
};

SystemAccounts g_systemAccounts;
AccountPlatform* g_accounts = nullptr;  // set by tests only

}  // namespace

AccountPlatform& Accounts() { return g_accounts ? *g_accounts : g_systemAccounts; }
void SetAccountPlatform(AccountPlatform* platform) { g_accounts = platform; }

int SidToString(PSID sid, char* buffer, size_t maxChars) {
    if (!sid || !buffer || maxChars == 0) return 0;
    buffer[0] = 0;
    struct UnicodeText {
        USHORT length;
        USHORT maximumLength;
        PWSTR buffer;
    };
    using ConvertFn = LONG(WINAPI*)(UnicodeText*, PSID, BOOLEAN);
    using FreeFn = void(WINAPI*)(UnicodeText*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll) return 0;
    auto convert = reinterpret_cast<ConvertFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlConvertSidToUnicodeString")));
    auto release = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlFreeUnicodeString")));
    if (!convert || !release || !IsValidSid(sid)) return 0;
    UnicodeText text{};
    if (convert(&text, sid, TRUE) < 0) return 0;
    size_t chars = text.length / sizeof(wchar_t);
    if (chars > maxChars - 1) chars = maxChars - 1;
    for (size_t i = 0; i < chars; ++i) buffer[i] = static_cast<char>(text.buffer[i]);  // digits, "S" and "-"
    buffer[chars] = 0;
    release(&text);
    return 1;
}

LocalUserEntry* EnumLocalUsers(int* count) {
    if (count) *count = 0;
    // Read on while the system says more follow: a cut list would leave users without their
    // RunOnce entries and registry clean-up.
    std::vector<std::wstring> names;
    DWORD resume = 0;
    constexpr int kMaxPages = 10000;
    for (int page = 0;; ++page) {
        size_t before = names.size();
        DWORD status = Accounts().EnumUserNames(&resume, names);
        if (status == ERROR_SUCCESS) break;
        if (status != ERROR_MORE_DATA || names.size() == before || page == kMaxPages) return nullptr;
    }
    auto* list = static_cast<LocalUserEntry*>(LocalAlloc(LPTR, sizeof(LocalUserEntry) * (names.size() + 1)));
    if (!list) return nullptr;
    int n = 0;
    for (const std::wstring& name : names) {
        std::vector<BYTE> sid;
        if (!Accounts().LookupSid(name, sid)) continue;
        LocalUserEntry& entry = list[n];
        if (WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, entry.name, sizeof entry.name, nullptr, nullptr) == 0 ||
            !SidToString(sid.data(), entry.sid, 128)) {
            std::memset(&entry, 0, sizeof entry);
            continue;
        }
        ++n;
    }
    if (count) *count = n;
    return list;
}

int SetTokenPrivilege(const char* name, BOOL enable) {
    qz::Handle token;
    if (!name || !OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return 0;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) return 0;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    return AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) ? 1 : 0;
}
