// The driver version query against the stand-in driver file (version 1.2.3.4), placed in the
// prefix's drivers folder under a name of this process's own. drivers\zkuptp.sys itself belongs
// to the utility's end-to-end tests, which give it other versions while these run: it is only
// read here.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "driver_version.h"
#include "lib_test_support.h"

namespace {

std::string DriversFolder() {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "\\drivers\\";
}

// Copies the stand-in beside the test program to drivers\<name>. Test processes run in
// parallel: copy to a private name first, then move it over the target in one step.
bool InstallStandIn(const std::string& name) {
    std::string source = ProgramDirectory() + "zkuptp.sys";
    std::string target = DriversFolder() + name;
    std::string temp = target + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    if (!CopyFileA(source.c_str(), temp.c_str(), FALSE)) return false;
    if (MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temp.c_str());
    // Another process holds it open right now: fine when it is the stand-in already.
    return GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The four version words of a driver file's version resource, or all 0.
std::array<uint16_t, 4> FileVersionOf(const std::string& path) {
    std::array<uint16_t, 4> words{};
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (data.empty() || !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) {
        return words;
    }
    return {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
            LOWORD(fixed->dwFileVersionLS)};
}

class DriverVersion : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLibStateForTests();
        ASSERT_TRUE(InstallStandIn(ownName + ".sys"));
    }
    void TearDown() override {
        ResetLibStateForTests();
        DeleteFileA((DriversFolder() + ownName + ".sys").c_str());
    }
    const std::string ownName = "qzbus" + std::to_string(GetCurrentProcessId());
};

TEST_F(DriverVersion, ReadsTheNamedDriverFile) {
    DriverVersionInfo info = {};
    info.size = sizeof info;
    std::strcpy(info.name, ownName.c_str());
    ASSERT_EQ(PnxGetZkuptpDriverVersion(nullptr, &info), 1);
    EXPECT_EQ(info.major, 1);
    EXPECT_EQ(info.minor, 2);
    EXPECT_EQ(info.build, 3);
    EXPECT_EQ(info.revision, 4);
    EXPECT_STREQ(info.name, ownName.c_str());
}

// Without a name the query reads drivers\zkuptp.sys, whichever version it has right now: a
// read that saw the file replaced in between is made again.
TEST_F(DriverVersion, WithoutANameReadsTheDefaultDriverFile) {
    const std::string path = DriversFolder() + "zkuptp.sys";
    for (int attempt = 0; attempt < 10; ++attempt) {
        const auto before = FileVersionOf(path);
        DriverVersionInfo info = {};
        info.size = sizeof info;
        const int result = PnxGetZkuptpDriverVersion(nullptr, &info);
        if (FileVersionOf(path) != before) continue;
        ASSERT_NE(before[0], 0) << "no version resource in " << path;
        ASSERT_EQ(result, 1);
        EXPECT_EQ((std::array<uint16_t, 4>{info.major, info.minor, info.build, info.revision}), before);
        EXPECT_STREQ(info.name, "Zkuptp");
        return;
    }
    FAIL() << path << " kept changing";
}

TEST_F(DriverVersion, NameComesFromTheRecordThenTheRegistration) {
    std::strcpy(g_lib.driverName, ownName.c_str());
    DriverVersionInfo info = {};
    ASSERT_EQ(QueryDriverVersion(&info), 1);
    EXPECT_STREQ(info.name, ownName.c_str());

    std::strcpy(g_lib.driverName, "qzabsentbus");
    DriverVersionInfo absent = {};
    EXPECT_EQ(QueryDriverVersion(&absent), 0);
    DriverVersionInfo named = {};
    const std::string upper = "QZBUS" + std::to_string(GetCurrentProcessId());  // file names ignore case
    std::strcpy(named.name, upper.c_str());
    ASSERT_EQ(QueryDriverVersion(&named), 1);
    EXPECT_STREQ(named.name, upper.c_str());
    EXPECT_EQ(named.minor, 2);
}

TEST_F(DriverVersion, AbsentHidFilterGivesZeroWithoutLookingAtTheFile) {
    // A filter file left behind does not count: only the devices say whether it is present.
    ASSERT_TRUE(InstallStandIn("Zkhidflt.sys"));
    DriverVersionInfo info = {};
    std::strcpy(info.name, "zkHIDflt");
    EXPECT_EQ(QueryDriverVersion(&info), 0);
    EXPECT_EQ(info.major, 0);
    EXPECT_STREQ(info.name, "zkHIDflt");
    DeleteFileA((DriversFolder() + "Zkhidflt.sys").c_str());
}

TEST_F(DriverVersion, BadRecordsAndMissingFilesGiveZeroAndLeaveTheRecord) {
    EXPECT_EQ(QueryDriverVersion(nullptr), 0);
    DriverVersionInfo unterminated;
    std::memset(&unterminated, 'A', sizeof unterminated);
    EXPECT_EQ(QueryDriverVersion(&unterminated), 0);
    EXPECT_EQ(unterminated.major, 0x4141);

    DriverVersionInfo missing = {};
    std::strcpy(missing.name, "qz_no_such_driver");
    EXPECT_EQ(QueryDriverVersion(&missing), 0);
    EXPECT_STREQ(missing.name, "qz_no_such_driver");
}

TEST_F(DriverVersion, FileWithoutVersionInformationIsAFailure) {
    std::string path = DriversFolder() + "qzplain" + std::to_string(GetCurrentProcessId()) + ".sys";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "not an image", 12, &written, nullptr);
    CloseHandle(file);
    DriverVersionInfo info = {};
    std::string name = "qzplain" + std::to_string(GetCurrentProcessId());
    std::strcpy(info.name, name.c_str());
    EXPECT_EQ(QueryDriverVersion(&info), 0);
    DeleteFileA(path.c_str());
}

}  // namespace
