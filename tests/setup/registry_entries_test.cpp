#include "registry_entries.h"

#include "application_records.h"
#include "os_info.h"
#include "test_script.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryEntries, OsFilters) {
    struct { const char* filter; int code; uint32_t flags; bool matches; } cases[] = {
        {"XP,VISTA", 6, 0, true},     {"XP,VISTA", 8, 0, true},      {"XP,VISTA", 10, 0, false},
        {"common", 15, kOsFlag64Bit, true}, {"7", 10, kOsFlag64Bit, false}, {"7X64", 10, kOsFlag64Bit, true},
        {"2008", 12, 0, true},  // the word 8 inside 2008
        {"10X64", 16, kOsFlag64Bit, true}, {"2012R2", 15, 0, true}, {"81", 14, 0, true}, {"XP", 0, 0, false}, {"", 6, 0, false},
    };
    for (auto& t : cases) {
        SCOPED_TRACE(std::string(t.filter) + " " + std::to_string(t.code));
        EXPECT_EQ(OsFilterMatches(t.filter, t.code, t.flags), t.matches);
    }
}

TEST(RegistryEntries, RootsTypesAndDataForms) {
    EXPECT_EQ(ScriptRegistryRoot("HLM"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ScriptRegistryRoot("hcu"), HKEY_CURRENT_USER);
    EXPECT_EQ(ScriptRegistryRoot("HKLM"), nullptr);
    EXPECT_EQ(ScriptRegistryRoot("HKEY_LOCAL_MACHINE"), nullptr);
    EXPECT_EQ(ScriptValueType("REG_DWORD"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(ScriptValueType("multi_sz"), static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(ScriptValueType("EXPAND_SZ"), static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(ScriptValueType("sz"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ScriptValueType("TEXT"), static_cast<DWORD>(REG_NONE));
    EXPECT_EQ(ParseBinaryData("0x010210"), std::string("\x01\x02\x0a", 3));
    EXPECT_EQ(StringValueBytes("a", REG_MULTI_SZ), std::string("a\0\0", 3));
    EXPECT_EQ(StringValueBytes("a", REG_SZ), std::string("a\0", 2));
}

constexpr char kPanelId[] = "{6B1E3A52-0C4D-4F7A-9E21-5A8C3D7F0B19}";

class ScriptRegistry : public ::testing::Test {
protected:
    ScriptRegistry()
        : key_("Software\\QzSetupTest" + std::to_string(GetCurrentProcessId())),
          script_("registry", kLanguageIni,
                  std::string(kCopyFileIni) + "[Client_COMMON]\r\nFILE_000=QuelboZovu.exe;bin;\\Tools\r\n"
                                              "[Client_CPL]\r\nGUID_00=COMMON;QZ;" + std::string(kPanelId) + "\r\nGUID_01=95;NO;{0}\r\n"
                                              "QZ_CPLNAME=COMMON; ;SZ;Quelbo Plus\r\nQZ_ICON_00=COMMON; ;SZ;\\QuelboZovu.exe,0\r\n"
                                              "QZ_DISP_00=COMMON;InfoTip;SZ;Devices\r\nQZ_SHELL_00=COMMON;Attributes;DWORD;48\r\n") {
        script_.Prepare(&g_setup);
        g_setup.osCode = 10;
        g_setup.osFlags = kOsFlag64Bit;
        snprintf(record_.name, sizeof record_.name, "Client");
        snprintf(record_.installFolder, MAX_PATH, "C:\\Inst");
    }
    ~ScriptRegistry() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kPanelId).c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kNameSpace) + kPanelId).c_str());
        FreeApplicationInfo(&g_setup);
    }
    static constexpr char kNameSpace[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\";
    int Write(const std::string& entry) { return WriteRegistryEntry(&g_setup, &record_, entry.c_str()); }
    DWORD Read(const char* name, std::string& data) {
        char buffer[600] = {};
        DWORD size = sizeof buffer;
        DWORD type = REG_NONE;
        if (RegGetValueA(HKEY_CURRENT_USER, key_.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, buffer, &size) !=
            ERROR_SUCCESS) {
            return REG_NONE;
        }
        data.assign(buffer, size);
        return type;
    }
    std::string key_;
    TestScript script_;
    ApplicationRecord record_{};
};

TEST_F(ScriptRegistry, EntriesWrittenByTheirFormsAndProtected) {
    std::string k = ";HCU;" + key_ + ";";
    EXPECT_EQ(Write("COMMON" + k + "Count;REG_DWORD;0x10"), 1);
    EXPECT_EQ(Write("7X64" + k + "Bytes;BINARY;0x010210"), 1);
    EXPECT_EQ(Write("COMMON" + k + "List;MULTI_SZ;one"), 1);
    EXPECT_EQ(Write("COMMON" + k + " ;SZ;default text"), 1);
    EXPECT_EQ(Write("COMMON" + k + "Path;SZ;\\QuelboZovu.exe,0;C"), 1);
    EXPECT_EQ(Write("COMMON" + k + "Folder;EXPAND_SZ;\\QuelboZovu.exe;F"), 1);
    EXPECT_EQ(Write("COMMON" + k + "Unknown;SZ;\\other.exe;C"), 1);
    EXPECT_EQ(Write("XP" + k + "Skipped;SZ;x"), 0);
    EXPECT_EQ(Write("COMMON;HKLM;" + key_ + ";Bad;SZ;x"), 0);
    std::string data;
    ASSERT_EQ(Read("Count", data), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(data.data()), 0u);
    ASSERT_EQ(Read("Bytes", data), static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data, std::string("\x01\x02\x0a", 3));
    ASSERT_EQ(Read("List", data), static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(data, std::string("one\0\0", 5));
    ASSERT_EQ(Read("", data), static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(data.c_str(), "default text");
    Read("Path", data);
    EXPECT_STREQ(data.c_str(), "C:\\Inst\\Tools\\QuelboZovu.exe,0");
    ASSERT_EQ(Read("Folder", data), static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_STREQ(data.c_str(), "C:\\Inst\\Tools");
    Read("Unknown", data);
    EXPECT_STREQ(data.c_str(), "\\other.exe");
    EXPECT_EQ(Read("Skipped", data), static_cast<DWORD>(REG_NONE));

    // A value the user changed stays under PROTECT; without it the script's value returns.
    RegSetKeyValueA(HKEY_CURRENT_USER, key_.c_str(), "Count", REG_DWORD, "\x07\0\0\0", 4);
    EXPECT_EQ(Write("COMMON" + k + "Count;DWORD;5;;PROTECT"), 1);
    Read("Count", data);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(data.data()), 7u);
    EXPECT_EQ(Write("COMMON" + k + "Count;DWORD;5;;"), 1);
    Read("Count", data);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(data.data()), 5u);
}

TEST_F(ScriptRegistry, ControlPanelItem) {
    ReadApplicationInfo(&g_setup);
    ASSERT_EQ(g_setup.applicationCount, 1u);
    snprintf(g_setup.applications[0].installFolder, MAX_PATH, "C:\\Inst");
    EXPECT_EQ(SetControlPanel(nullptr, &g_setup), 1);
    auto text = [](HKEY root, const std::string& key, const char* name) {
        char value[300] = "";
        DWORD size = sizeof value;
        RegGetValueA(root, key.c_str(), name, RRF_RT_ANY, nullptr, value, &size);
        return std::string(value);
    };
    std::string clsid = std::string("CLSID\\") + kPanelId;
    EXPECT_EQ(text(HKEY_LOCAL_MACHINE, std::string(kNameSpace) + kPanelId, ""), "Quelbo Plus");
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, clsid, "InfoTip"), "Devices");
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, clsid + "\\DefaultIcon", ""), "C:\\Inst\\Tools\\QuelboZovu.exe,0");
    DWORD attributes = 0;
    DWORD size = sizeof attributes;
    RegGetValueA(HKEY_CLASSES_ROOT, (clsid + "\\ShellFolder").c_str(), "Attributes", RRF_RT_DWORD, nullptr, &attributes, &size);
    EXPECT_EQ(attributes, 48u);
}

}  // namespace
