#include "application_records.h"
#include "local_users.h"
#include "registry_value.h"
#include "test_script.h"
#include "uninstall_records.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <set>
#include <string>
#include <vector>

namespace {

constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Four accounts: the installing user, another user with a profile, a user logged on elsewhere
// (its hive does not load) and a service account that is no person.
class FakeUsers final : public AccountPlatform {
public:
    explicit FakeUsers(std::string self) : self_(std::move(self)) { SetAccountPlatform(this); }
    ~FakeUsers() override { SetAccountPlatform(nullptr); }
    DWORD EnumUserNames(DWORD* resume, std::vector<std::wstring>& page) override {
        page = {std::wstring(self_.begin(), self_.end()), L"qzother", L"qzbusy", L"qzservice"};
        *resume = 4;
        return ERROR_SUCCESS;
    }
    bool LookupSid(const std::wstring& name, std::vector<BYTE>& sid) override {
        std::wstring text = name == L"qzservice" ? L"S-1-5-18"
                            : name == L"qzother" ? L"S-1-5-21-7-8-9-1001"
                            : name == L"qzbusy"  ? L"S-1-5-21-7-8-9-1002"
                                                 : L"S-1-5-21-7-8-9-1000";
        PSID made = nullptr;
        if (!ConvertStringSidToSidW(text.c_str(), &made)) return false;
        sid.assign(static_cast<BYTE*>(made), static_cast<BYTE*>(made) + GetLengthSid(made));
        LocalFree(made);
        return true;
    }
    LONG LoadHive(const char* keyName, const char* file) override {
        loaded.insert(keyName);
        files.push_back(file);
        return std::string(keyName) == "S-1-5-21-7-8-9-1002" ? ERROR_SHARING_VIOLATION : ERROR_SUCCESS;
    }
    LONG UnloadHive(const char* keyName) override {
        unloaded.insert(keyName);
        return ERROR_SUCCESS;
    }
    std::set<std::string> loaded, unloaded;
    std::vector<std::string> files;

private:
    std::string self_;
};

std::string Value(HKEY root, const std::string& key, const char* name) {
    char text[520] = "";
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    if (!ReadRegistryValue(root, key.c_str(), name, text, &size, &type)) return "(none)";
    return text;
}

// The install worker's registry step writes the script's RunOnce values: the other users'
// hives take only OTHER;HCU, the machine pass every scope but OTHER; unknown files and
// applications already installed write nothing.
TEST(RunOnce, TheRegistryStepWritesTheValuesOfEveryScope) {
    std::string tag = std::to_string(GetCurrentProcessId());
    std::string v = "QzRunOnce" + tag + "_";
    const std::string copyFile =
        "[FOLDER]\r\nINSTALL=x\r\n[APPLIINFO]\r\nAPP_00=Client\r\nCHECK_00=1\r\n"
        "[Client_INFO]\r\nOS=W:" QZ_ALL_OS_WORDS "\r\n"
        "RUNONCE_00=OTHER;HCU;" + v + "other;QuelboZovu.exe;-first\r\n"
        "RUNONCE_01=ONESELF;HCU;" + v + "self;QuelboZovu.exe\r\n"
        "RUNONCE_02=MACHINE;HLM;" + v + "machine;QuelboZovu.exe;-m\r\n"
        "RUNONCE_03=OTHER;HLM;" + v + "otherMachine;QuelboZovu.exe\r\n"
        "RUNONCE_04=ONESELF;HCU;" + v + "missing;NoSuch.exe\r\n"
        "RUNONCE_05=HLM\r\n"
        "RUNONCE_06=MACHINE;HLM;" + v + "afterShortOne;QuelboZovu.exe\r\n"
        "[Client_COMMON]\r\nFILE_000=QuelboZovu.exe;bin;\\\r\n";
    TestScript script("runonce", kLanguageIni, copyFile,
                      "[FONT]\r\nSTANDARD=Tahoma,8,DEFAULT,NORMAL\r\n[LIST]\r\nLIST_00=Client\r\n");
    char self[256] = "";
    DWORD size = sizeof self;
    ASSERT_TRUE(GetUserNameA(self, &size));
    FakeUsers users(self);
    script.Prepare(&g_setup);
    g_setup.osCode = 16;
    ReadApplicationInfo(&g_setup);
    ASSERT_EQ(g_setup.applicationCount, 1u);
    snprintf(g_setup.applications[0].installFolder, MAX_PATH, "C:\\Qz%s", tag.c_str());
    std::string program = "\"C:\\Qz" + tag + "\\QuelboZovu.exe\"";
    std::string other = "S-1-5-21-7-8-9-1001\\" + std::string(kRunOnce);
    CreateUninstallInfo(nullptr, &g_setup);

    EXPECT_EQ(SetRegistryKey(nullptr, &g_setup), 1);
    EXPECT_EQ(users.loaded, (std::set<std::string>{"S-1-5-21-7-8-9-1001", "S-1-5-21-7-8-9-1002"}));
    EXPECT_EQ(users.unloaded, std::set<std::string>{"S-1-5-21-7-8-9-1001"});
    ASSERT_FALSE(users.files.empty());
    EXPECT_NE(users.files[0].find("\\qzother\\ntuser.dat"), std::string::npos) << users.files[0];
    const struct {
        HKEY root;
        std::string key, name, text;
    } expected[] = {
        {HKEY_USERS, other, v + "other", program + " -first"},
        {HKEY_USERS, other, v + "self", "(none)"},
        {HKEY_CURRENT_USER, kRunOnce, v + "self", program},
        {HKEY_CURRENT_USER, kRunOnce, v + "other", "(none)"},
        {HKEY_LOCAL_MACHINE, kRunOnce, v + "machine", program + " -m"},
        {HKEY_LOCAL_MACHINE, kRunOnce, v + "otherMachine", "(none)"},
        {HKEY_CURRENT_USER, kRunOnce, v + "missing", "(none)"},
        {HKEY_LOCAL_MACHINE, kRunOnce, v + "afterShortOne", program},
    };
    for (const auto& e : expected) EXPECT_EQ(Value(e.root, e.key, e.name.c_str()), e.text) << e.name;
    RegDeleteTreeA(HKEY_USERS, "S-1-5-21-7-8-9-1001");
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const char* name : {"self", "machine", "afterShortOne"}) RegDeleteKeyValueA(root, kRunOnce, (v + name).c_str());
    }

    // A second run over an installed application adds nothing.
    g_setup.applications[0].alreadyInstalled = 1;
    users.loaded.clear();
    EXPECT_EQ(SetRegistryKey(nullptr, &g_setup), 1);
    EXPECT_TRUE(users.loaded.empty());
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kRunOnce, (v + "machine").c_str()), "(none)");
    FreeApplicationInfo(&g_setup);
}

}  // namespace
