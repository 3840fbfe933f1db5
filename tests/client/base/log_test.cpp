#include "log.h"

#include "messages.h"
#include "server_entry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The lines of a log file without their line ends; a text after the last "\r\n" fails.
std::vector<std::string> FileLines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

// The text of a file line after its time stamp; empty when the stamp is wrong. Only the stamp
// goes through the regex: libstdc++ matches recursively and a long text overflows the stack.
std::string LineText(const std::string& line) {
    static const std::regex stamp(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d  $)");
    constexpr size_t kStampLength = 21;
    if (line.size() < kStampLength || !std::regex_match(line.substr(0, kStampLength), stamp))
        return {};
    return line.substr(kStampLength);
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("qzlog_" + std::to_string(GetCurrentProcessId()) + "_" +
                   std::to_string(GetTickCount()));
    }
    void TearDown() override {
        LogReset();
        for (HWND w : windows_) DestroyWindow(w);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    void Setup(HWND service, uint16_t flags, const fs::path& folder) {
        LogSettings settings{};
        settings.flags = flags;
        std::snprintf(settings.folder, sizeof settings.folder, "%s", folder.string().c_str());
        ASSERT_EQ(LogSetup(service, &settings), 1);
    }
    // A window with a log list box (child 150), as the service and server windows have.
    HWND Window(ServerEntry* entry = nullptr) {
        HWND w = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr,
                                 nullptr, nullptr, nullptr);
        EXPECT_NE(w, nullptr);
        CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 200, 200, w,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLogList)), nullptr, nullptr);
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(entry));
        windows_.push_back(w);
        return w;
    }
    static std::string ListBoxLine(HWND window, int index) {
        char text[256] = "";
        SendDlgItemMessageA(window, kIdLogList, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
    fs::path MainLog() const { return folder_ / kMainLogFileName; }

    fs::path folder_;
    std::vector<HWND> windows_;
};

}  // namespace

TEST_F(LogTest, FlagsZeroLogsNothing) {
    Setup(nullptr, 0, folder_);
    EXPECT_EQ(LogLine(nullptr, "nothing %d", 1), 0);
    EXPECT_FALSE(fs::exists(folder_));
    EXPECT_EQ(LogSetup(nullptr, nullptr), 0);
}

TEST_F(LogTest, ServiceWindowLinesGoToItsListBoxAndAppendToTheMainLog) {
    HWND service = Window();
    Setup(service, kLogToFile, folder_);
    EXPECT_EQ(LogLine(service, "*** %s ***", "OS Information"), 1);
    EXPECT_EQ(LogLine(service, "  Value : %d", 42), 1);
    std::vector<std::string> lines = FileLines(MainLog());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(LineText(lines[0]), "*** OS Information ***");
    EXPECT_EQ(LineText(lines[1]), "  Value : 42");
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(lines[0].substr(0, 4), std::to_string(now.wYear));
    EXPECT_EQ(SendDlgItemMessageA(service, kIdLogList, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ListBoxLine(service, 1), "  Value : 42");
    EXPECT_EQ(SendDlgItemMessageA(service, kIdLogList, LB_GETCURSEL, 0, 0), 1);
}

TEST_F(LogTest, ServerWithoutInfoBlockGetsListBoxLineButNoFile) {
    ServerRecord record;  // no information block yet
    ServerEntry entry{nullptr, nullptr, &record};
    HWND service = Window();
    HWND server = Window(&entry);
    Setup(service, kLogToFile | kLogToDebugger, folder_);
    EXPECT_EQ(LogLine(server, "server line"), 0);
    EXPECT_EQ(ListBoxLine(server, 0), "server line");
    EXPECT_TRUE(fs::is_empty(folder_));
    EXPECT_EQ(LogLine(nullptr, "stray"), 0);  // belongs to no server at all
}

TEST_F(LogTest, ServerWithFullChainWritesItsOwnFile) {
    ServerInfo info{};
    const uint8_t mac[6] = {0x00, 0x80, 0x92, 0xab, 0x0c, 0xff};
    std::memcpy(info.hardwareAddress, mac, 6);
    ServerRecord record;
    record.info = &info;
    ServerEntry entry{nullptr, nullptr, &record};
    HWND service = Window();
    HWND server = Window(&entry);
    Setup(service, kLogToFile, folder_);
    EXPECT_EQ(LogLine(server, "Host Name : %s", "printsrv"), 1);
    std::vector<std::string> lines = FileLines(folder_ / "008092AB0CFF.txt");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LineText(lines[0]), "Host Name : printsrv");
    EXPECT_FALSE(fs::exists(MainLog()));
}

TEST_F(LogTest, OverlongTextIsCutNotOverrun) {
    Setup(nullptr, kLogToFile, folder_);
    std::string huge(20000, 'x');
    EXPECT_EQ(LogLine(nullptr, "%s%s", huge.c_str(), "tail"), 1);
    std::vector<std::string> lines = FileLines(MainLog());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LineText(lines[0]), std::string(kLogTextCapacity - 1, 'x'));
}

TEST_F(LogTest, ConcurrentAppendsGiveWholeLinesOnly) {
    Setup(nullptr, kLogToFile, folder_);
    constexpr int kThreads = 8;
    constexpr int kLines = 150;
    const std::string padding(400, '-');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &padding] {
            for (int i = 0; i < kLines; ++i) LogLine(nullptr, "%d:%d %s", t, i, padding.c_str());
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::vector<std::string> lines = FileLines(MainLog());
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    std::set<std::string> seen;
    for (const std::string& line : lines) {
        std::string text = LineText(line);
        size_t blank = text.find(' ');
        ASSERT_EQ(blank == std::string::npos ? "" : text.substr(blank + 1), padding) << line;
        seen.insert(text.substr(0, blank));
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

TEST_F(LogTest, CreatesEveryLevelOfANestedFolder) {
    fs::path nested = folder_ / "one" / "two" / "three";
    Setup(nullptr, kLogToFile, nested);
    EXPECT_TRUE(fs::is_directory(nested));
    EXPECT_EQ(LogLine(nullptr, "deep"), 1);
    EXPECT_TRUE(fs::exists(nested / kMainLogFileName));
}

TEST_F(LogTest, EmptyFolderMeansTheWindowsDriveRoot) {
    char windows[MAX_PATH + 1];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 2u);
    fs::path mainLog = fs::path(std::string(windows, 3)) / kMainLogFileName;  // "C:\..."
    bool existed = fs::exists(mainLog);
    Setup(nullptr, kLogToFile, "");
    EXPECT_EQ(LogLine(nullptr, "root line"), 1);
    std::vector<std::string> lines = FileLines(mainLog);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(LineText(lines.back()), "root line");
    if (!existed) fs::remove(mainLog);
}
