// Local user accounts with their SIDs, their registry hives, and token privileges.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct LocalUserEntry {
    char name[260];
    char sid[260];  // "S-1-5-21-..."
};
static_assert(sizeof(LocalUserEntry) == 520);

// What the account functions need from the system. The production version passes each call
// straight through; Wine has one user and cannot load real hives, so tests set a fake.
class AccountPlatform {
public:
    virtual ~AccountPlatform() = default;
    // One page of local user names from *resume on (NetUserEnum at level 0): ERROR_SUCCESS
    // for the last page, ERROR_MORE_DATA when more follow, else the failure.
    virtual DWORD EnumUserNames(DWORD* resume, std::vector<std::wstring>& page) = 0;
    // The binary SID of a local account.
    virtual bool LookupSid(const std::wstring& name, std::vector<BYTE>& sid) = 0;
    // Loads a user's hive file under HKEY_USERS\keyName; a Windows error code.
    virtual LONG LoadHive(const char* keyName, const char* file) = 0;
    virtual LONG UnloadHive(const char* keyName) = 0;
};
AccountPlatform& Accounts();
void SetAccountPlatform(AccountPlatform* platform);  // null: the system

// Every local user with its SID, freed with LocalFree; null on failure.
LocalUserEntry* EnumLocalUsers(int* count);
// "S-1-..." of a SID, cut to maxChars characters; 1 when done.
int SidToString(PSID sid, char* buffer, size_t maxChars);
// Enables (or removes from the enabled set) a privilege of the process token.
int SetTokenPrivilege(const char* name, BOOL enable);
