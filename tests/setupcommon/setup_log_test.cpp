#include "setup_log.h"

#include "scratch.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

namespace {

class SetupLog : public ::testing::Test {
protected:
    void SetUp() override { ResetLogSettings(); }
    void TearDown() override { ResetLogSettings(); }
};

std::string DriveRoot() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows, 3);
}

}  // namespace

TEST_F(SetupLog, DebugTokensSetTheirFlags) {
    const struct { const char* token; uint16_t flags; } kCases[] = {
        {"-dlog", 0x0001},   {"-Dlog", 0x0001},     {"-doutlog", 0x0011}, {"-dlogout", 0x0011},
        {"-dlogqa", 0x0101}, {"-dqa", 0x0100},      {"-D", 0},            {"-d", 0},
        {"-DLOG", 0},        {"/dlog", 0},          {"-xlog", 0},         {"-dout", 0x0010},
    };
    for (const auto& c : kCases) {
        LogFlags = 0;
        ParseDebugOption(c.token);
        EXPECT_EQ(LogFlags, c.flags) << c.token;
    }
    LogFlags = 0x0101;
    ParseDebugOption("-dout");  // "out" replaces what was set
    EXPECT_EQ(LogFlags, 0x0010);
    ParseDebugOption(nullptr);
    EXPECT_EQ(LogFlags, 0x0010);
}

TEST_F(SetupLog, LinesHaveTheirFormatsAndAppend) {
    ScratchFolder dir("log_format");
    SetLogFile((dir.path() + "\\Setup.txt").c_str());
    EXPECT_EQ(StepLogPath(), dir / "Setup.txt");  // an absolute path is used as it stands
    EXPECT_EQ(FileLogPath(), dir / "Filelog.txt");
    ParseDebugOption("-dlogqa");
    EXPECT_EQ(LogPrintf("*** %s ***", "Copy"), 1);
    EXPECT_EQ(LogPrintf("  value %d", 7), 1);
    EXPECT_EQ(FileLogPrintf("C:\\App\\%s", "a.exe"), 1);
    std::string step = ReadFileText(dir / "Setup.txt");
    std::regex line(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d  \*\*\* Copy \*\*\*\r\n)"
                    R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d    value 7\r\n)");
    EXPECT_TRUE(std::regex_match(step, line)) << step;
    EXPECT_EQ(ReadFileText(dir / "Filelog.txt"), "C:\\App\\a.exe\r\n");

    // Lines longer than the 1024-byte buffer are cut, not overrun.
    std::string big(3000, 'x');
    EXPECT_EQ(LogPrintf("%s", big.c_str()), 1);
    std::string after = ReadFileText(dir / "Setup.txt");
    EXPECT_EQ(after.size() - step.size(), 21u + 1023u + 2u);
}

TEST_F(SetupLog, OnlyTheSwitchedLogsAreWritten) {
    ScratchFolder dir("log_flags");
    std::string nested = dir / "off\\Setup.txt";
    SetLogFile(nested.c_str());
    EXPECT_EQ(LogPrintf("nothing"), 0);
    EXPECT_EQ(FileLogPrintf("nothing"), 0);
    EXPECT_FALSE(Exists(dir / "off"));  // logging off touches no folder

    ParseDebugOption("-dqa");
    EXPECT_EQ(LogPrintf("step"), 1);  // on, but the step log is not switched on
    EXPECT_FALSE(Exists(nested));
    EXPECT_EQ(FileLogPrintf("file"), 1);
    EXPECT_EQ(ReadFileText(dir / "off\\Filelog.txt"), "file\r\n");
}

TEST_F(SetupLog, LogSettingPlacesAndHidesTheFolders) {
    ScratchFolder dir("log_place");
    SetEnvironmentVariableA("QZ_LOG_BASE", dir.path().c_str());
    SetLogFile("%QZ_LOG_BASE%\\Setup\\Deep\\Setup.txt;HIDE");
    EXPECT_EQ(StepLogPath(), dir / "Setup\\Deep\\Setup.txt");
    EXPECT_EQ(FileLogPath(), dir / "Setup\\Deep\\Filelog.txt");
    ParseDebugOption("-dlogqa");
    ASSERT_EQ(WriteFileLog("first"), 1);  // whichever log is written first makes the folders
    ASSERT_EQ(WriteSetupLog("second"), 1);
    DWORD outer = GetFileAttributesA((dir / "Setup").c_str());
    DWORD last = GetFileAttributesA((dir / "Setup\\Deep").c_str());
    EXPECT_FALSE(outer & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(last & FILE_ATTRIBUTE_HIDDEN);

    // A relative path goes to the root of the Windows drive.
    ResetLogSettings();
    std::string folder = "qz_rel_" + std::to_string(GetCurrentProcessId());
    SetLogFile((folder + "\\Setup.txt").c_str());
    EXPECT_EQ(StepLogPath(), DriveRoot() + folder + "\\Setup.txt");
    EXPECT_EQ(FileLogPath(), DriveRoot() + folder + "\\Filelog.txt");
    LogFlags = kLogStepFile;
    EXPECT_EQ(LogPrintf("relative"), 1);
    EXPECT_TRUE(Exists(DriveRoot() + folder + "\\Setup.txt"));
    RemoveTree(DriveRoot() + folder);

    // No first field changes nothing.
    SetLogFile(";HIDE");
    EXPECT_EQ(StepLogPath(), DriveRoot() + folder + "\\Setup.txt");
}

TEST_F(SetupLog, TwoThreadsNeverMixTheirLines) {
    ScratchFolder dir("log_threads");
    SetLogFile((dir.path() + "\\Setup.txt").c_str());
    LogFlags = kLogStepFile;
    constexpr int kLines = 300;
    auto writer = [](char tag) {
        std::string text(80, tag);
        for (int i = 0; i < kLines; ++i) LogPrintf("%s", text.c_str());
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    std::string all = ReadFileText(dir / "Setup.txt");
    std::regex line(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d  (a{80}|b{80})\r\n)");
    size_t count = 0;
    for (size_t start = 0; start < all.size(); ++count) {
        size_t end = all.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        ASSERT_TRUE(std::regex_match(all.substr(start, end + 2 - start), line)) << all.substr(start, end - start);
        start = end + 2;
    }
    EXPECT_EQ(count, 2u * kLines);
}
