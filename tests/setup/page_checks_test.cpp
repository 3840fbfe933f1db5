// The checks behind the Folder, Start menu and Connect pages: installation paths typed by the
// user and the script's CONNECT value.
#include "connect_info.h"
#include "install_path.h"

#include <gtest/gtest.h>

namespace {

UINT FixedC(const char* root) { return (root[0] == 'C' || root[0] == 'c') ? DRIVE_FIXED : DRIVE_REMOTE; }

TEST(InstallPath, AcceptsFixedDriveFoldersAndRefusesBadParts) {
    const struct {
        const char* path;
        int valid;
    } cases[] = {
        {"C:\\Program Files\\Orvik", 1}, {"c:\\a", 1},          {"C:", 0},
        {"C:\\", 1},                     {"N:\\Share\\x", 0},   {"C:\\Orvik\\Plus.", 0},
        {"C:\\ Orvik", 0},               {"C:\\Orvik \\x", 0},  {"C:\\Orvik\\\\x", 0},
        {"C:\\Or*vik", 0},               {"C:\\Or:vik", 0},     {"C:\\a/b", 0},
        {"C:\\a|b", 0},                  {"Orvik", 0},          {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidInstallPathOn(c.path, FixedC), c.valid) << c.path;
}

TEST(ConnectValue, PresetIsOnWhenMissingAndThePageOnlyWhenAsked) {
    ConnectInfo info{};
    ASSERT_TRUE(ParseConnectValue("HLM;Software\\Orvik;Connect", &info));
    EXPECT_EQ(info.root, HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(info.presetFirst) << "a missing preset counts as ON";
    EXPECT_FALSE(info.pageOn) << "a missing page switch counts as off";
    ASSERT_TRUE(ParseConnectValue("HCU;Key;Value;OFF;on", &info));
    EXPECT_EQ(info.root, HKEY_CURRENT_USER);
    EXPECT_FALSE(info.presetFirst);
    EXPECT_TRUE(info.pageOn);
    EXPECT_FALSE(ParseConnectValue("HKLM;Key;Value", &info)) << "unknown root";
    EXPECT_FALSE(ParseConnectValue("HLM;Key", &info)) << "no value name";
    EXPECT_FALSE(ParseConnectValue("HLM;;Value", &info));
}

}  // namespace
