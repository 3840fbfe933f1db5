#include "local_users.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <map>
#include <string>

namespace {

// A machine with many accounts, handed out a few names per call as NetUserEnum does with a
// small buffer.
class FakeAccounts final : public AccountPlatform {
public:
    FakeAccounts(int users, size_t pageSize) : pageSize_(pageSize) {
        for (int i = 0; i < users; ++i) names_.push_back(L"user" + std::to_wstring(i));
        SetAccountPlatform(this);
    }
    ~FakeAccounts() override { SetAccountPlatform(nullptr); }

    DWORD EnumUserNames(DWORD* resume, std::vector<std::wstring>& page) override {
        ++calls;
        if (failAt >= 0 && calls > failAt) return ERROR_ACCESS_DENIED;
        size_t at = *resume;
        for (size_t i = 0; i < pageSize_ && at < names_.size(); ++i) page.push_back(names_[at++]);
        *resume = static_cast<DWORD>(at);
        return at < names_.size() ? ERROR_MORE_DATA : ERROR_SUCCESS;
    }
    bool LookupSid(const std::wstring& name, std::vector<BYTE>& sid) override {
        if (name == L"user3") return false;  // an account that cannot be looked up is left out
        std::wstring text = L"S-1-5-21-100-200-300-" + std::to_wstring(1000 + std::stoi(name.substr(4)));
        PSID made = nullptr;
        if (!ConvertStringSidToSidW(text.c_str(), &made)) return false;
        sid.assign(static_cast<BYTE*>(made), static_cast<BYTE*>(made) + GetLengthSid(made));
        LocalFree(made);
        return true;
    }
    LONG LoadHive(const char*, const char*) override { return ERROR_SUCCESS; }
    LONG UnloadHive(const char*) override { return ERROR_SUCCESS; }

    int calls = 0;
    int failAt = -1;

private:
    std::vector<std::wstring> names_;
    size_t pageSize_;
};

}  // namespace

TEST(LocalUsers, TheWholeListAcrossPages) {
    FakeAccounts fake(40, 3);
    int count = 0;
    LocalUserEntry* users = EnumLocalUsers(&count);
    ASSERT_NE(users, nullptr);
    EXPECT_EQ(count, 39);
    EXPECT_EQ(fake.calls, 14);
    EXPECT_STREQ(users[0].name, "user0");
    EXPECT_STREQ(users[0].sid, "S-1-5-21-100-200-300-1000");
    EXPECT_STREQ(users[3].name, "user4");
    EXPECT_STREQ(users[38].sid, "S-1-5-21-100-200-300-1039");
    LocalFree(users);

    FakeAccounts failing(40, 3);
    failing.failAt = 2;  // a failure in the middle gives no list rather than a cut one
    EXPECT_EQ(EnumLocalUsers(&count), nullptr);
}

TEST(LocalUsers, TheRealPrefixHasItsUser) {
    int count = 0;
    LocalUserEntry* users = EnumLocalUsers(&count);
    ASSERT_NE(users, nullptr);
    ASSERT_GE(count, 1);
    char self[256];
    DWORD size = sizeof self;
    ASSERT_TRUE(GetUserNameA(self, &size));
    bool found = false;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(std::string(users[i].sid).rfind("S-1-5-", 0), 0u) << users[i].name;
        found = found || lstrcmpiA(users[i].name, self) == 0;
    }
    EXPECT_TRUE(found) << self;
    LocalFree(users);
}

TEST(LocalUsers, SidTextAndPrivileges) {
    PSID admins = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-32-544", &admins));
    char text[64];
    ASSERT_EQ(SidToString(admins, text, sizeof text), 1);
    EXPECT_STREQ(text, "S-1-5-32-544");
    ASSERT_EQ(SidToString(admins, text, 6), 1);
    EXPECT_STREQ(text, "S-1-5");
    LocalFree(admins);
    EXPECT_EQ(SidToString(nullptr, text, sizeof text), 0);

    EXPECT_EQ(SetTokenPrivilege("SeRestorePrivilege", TRUE), 1);
    EXPECT_EQ(SetTokenPrivilege("SeRestorePrivilege", FALSE), 1);
    EXPECT_EQ(SetTokenPrivilege("SeNoSuchPrivilege", TRUE), 0);
}
