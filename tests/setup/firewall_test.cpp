#include "firewall.h"

#include "application_records.h"
#include "ini_text.h"
#include "os_info.h"
#include "test_script.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

const char kCopyFile[] =
    "[FOLDER]\r\nINSTALL=x\r\n[APPLIINFO]\r\nAPP_00=Client\r\nCHECK_00=1\r\n[Client_INFO]\r\nOS=W:" QZ_ALL_OS_WORDS "\r\n"
    "[Client_COMMON]\r\nFILE_000=QuelboZovu.exe;bin;\\\r\n"
    "[Client_ICF]\r\nADDFILE2_000=QuelboZovu.exe;Quelbo Plus;The utility\r\nADDFILE2_001=unlisted.exe;Nothing\r\n"
    "ADDPORT2_000=19540;UDP;Quelbo Plus Search\r\nADDPORT2_001=49300;UDP;Quelbo Plus Request\r\n"
    "ADDFILE_000=QuelboZovu.exe;Quelbo Plus\r\nADDPORT_000=19540;UDP;Quelbo Plus Search\r\n";

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileText(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> IcfList(const std::string& list, const char* format) {
    std::vector<std::string> values;
    for (int n = 0;; ++n) {
        char value[520] = "";
        GetPrivateProfileStringA("ICF", IniListKey(format, n).c_str(), "", value, sizeof value, list.c_str());
        if (!value[0]) return values;
        values.push_back(value);
    }
}

class Firewall : public ::testing::Test {
protected:
    Firewall() : script_("firewall", kLanguageIni, kCopyFile) {
        CopyFileA(BesideTheTests("_Setup64.dll").c_str(), (script_ / "_Setup64.dll").c_str(), FALSE);
        log_ = script_ / "helper.log";
        SetEnvironmentVariableA("QZ_SETUP_HELPER_LOG", log_.c_str());
        script_.Prepare(&g_setup);
        g_setup.modeBits = kModeSilent;
        g_setup.osCode = 16;
        ReadApplicationInfo(&g_setup);
        EXPECT_EQ(g_setup.applicationCount, 1u);
        ApplicationRecord& r = g_setup.applications[0];
        snprintf(r.installFolder, MAX_PATH, "C:\\Inst");
        list_ = script_ / "unflist.ini";
        snprintf(r.uninstallPaths[kListWorkPath], MAX_PATH, "%s", list_.c_str());
    }
    ~Firewall() override {
        SetEnvironmentVariableA("QZ_SETUP_HELPER_LOG", nullptr);
        SetEnvironmentVariableA("QZ_SETUP_HELPER_SCRIPT", nullptr);
        FreeApplicationInfo(&g_setup);
    }
    TestScript script_;
    std::string log_;
    std::string list_;
};

TEST_F(Firewall, RulesRecordedAndRenewedOnAReinstall) {
    g_setup.osCode = 16;
    g_setup.osFlags = kOsFlag64Bit;
    SetFirewall(nullptr, &g_setup);
    std::vector<std::string> first = {
        "WindowsFirewallRemovePolicy|Quelbo Plus",
        "WindowsFirewallRemovePolicy|Quelbo Plus Search",
        "WindowsFirewallAddApp2|Quelbo Plus|C:\\Inst\\QuelboZovu.exe|The utility",
        "WindowsFirewallAddPort2|Quelbo Plus Search|1|19540",
        "WindowsFirewallAddPort2|Quelbo Plus Request|1|49300",
    };
    EXPECT_EQ(Lines(log_), first);
    EXPECT_EQ(IcfList(list_, "DELFILE2_%03d"), std::vector<std::string>{"Quelbo Plus;C:\\Inst\\QuelboZovu.exe"});
    EXPECT_EQ(IcfList(list_, "DELPORT2_%03d"),
              (std::vector<std::string>{"Quelbo Plus Search;19540;UDP", "Quelbo Plus Request;49300;UDP"}));

    // The reinstall takes the recorded rules away first; the list keeps one value per rule.
    DeleteFileA(log_.c_str());
    SetFirewall(nullptr, &g_setup);
    std::vector<std::string> second = {
        "WindowsFirewallRemovePolicy|Quelbo Plus",
        "WindowsFirewallRemovePolicy|Quelbo Plus Search",
        "WindowsFirewallRemovePolicy|Quelbo Plus Request",
    };
    second.insert(second.end(), first.begin(), first.end());
    EXPECT_EQ(Lines(log_), second);
    EXPECT_EQ(IcfList(list_, "DELPORT2_%03d").size(), 2u);
}

TEST_F(Firewall, OlderWindowsAndFailingCalls) {
    g_setup.osCode = 6;
    g_setup.osFlags = 0;
    SetFirewall(nullptr, &g_setup);
    EXPECT_FALSE(Exists(log_)) << "XP without the service-pack level: nothing touched";
    EXPECT_TRUE(IcfList(list_, "DELFILE_%03d").empty());

    g_setup.osFlags = kOsFlagSecurityLevel;
    SetEnvironmentVariableA("QZ_SETUP_HELPER_SCRIPT", "fail=WindowsFirewallAddApp");
    SetFirewall(nullptr, &g_setup);
    EXPECT_EQ(Lines(log_), (std::vector<std::string>{"WindowsFirewallAddApp|Quelbo Plus|C:\\Inst\\QuelboZovu.exe",
                                                     "WindowsFirewallAddPort|Quelbo Plus Search|1|19540"}));
    EXPECT_TRUE(IcfList(list_, "DELFILE_%03d").empty()) << "a failed rule is not recorded";
    EXPECT_EQ(IcfList(list_, "DELPORT_%03d"), std::vector<std::string>{"19540;UDP"});
}

}  // namespace
