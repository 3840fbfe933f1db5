// The -d switch and the bytes of the log file.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "utility_log.h"

namespace {

TEST(ParseDebugSwitch, WordsAreCaseSensitiveTheLetterIsNot) {
    struct Case {
        const char* argument;
        BOOL result;
        uint16_t flags;
    } cases[] = {
        {"-dlogout", TRUE, 5}, {"-dout", TRUE, 4},   {"-Dlog", TRUE, 1}, {"-dLOG", TRUE, 0},
        {"-dxyz", TRUE, 0},    {"-d", FALSE, 9},     {"-x", FALSE, 9},   {"-slog", FALSE, 9},
        {nullptr, FALSE, 9},
    };
    for (const Case& c : cases) {
        LogOptions options;
        options.flags = 9;
        EXPECT_EQ(ParseDebugSwitch(c.argument, &options), c.result) << (c.argument ? c.argument : "null");
        EXPECT_EQ(options.flags, c.flags) << (c.argument ? c.argument : "null");
        if (c.result && (c.flags & kLogToFile)) {
            EXPECT_EQ(wcslen(options.folder), 3u);
            EXPECT_EQ(options.folder[1], L':');
            EXPECT_EQ(options.folder[2], L'\\');
        }
    }
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(h, nullptr), '\0');
    DWORD read = 0;
    ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(h);
    return bytes;
}

TEST(UtilityLog, NewFileStartsWithBomAndLinesAreStampedAndAppended) {
    LogOptions off;
    ASSERT_TRUE(SetLogOptions(&off));
    EXPECT_FALSE(WriteLog(L"dropped"));

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"qzlog" + std::to_wstring(GetCurrentProcessId()) +
                          L"\\nested\\deeper";
    LogOptions options;
    options.flags = kLogToFile;
    wcscpy(options.folder, folder.c_str());
    ASSERT_TRUE(SetLogOptions(&options));
    EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "levels created";

    EXPECT_TRUE(WriteLog(L"*** return [%d] ***", 0));
    EXPECT_TRUE(WriteLog(L"  %ls Driver  : %hs", L"ZKUPTP", "3.3.0.0"));
    std::wstring path = folder + L"\\Tessoralog.txt";
    std::string bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    std::wregex line(L"\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}  \\*\\*\\* return \\[0\\] \\*\\*\\*\r\n"
                     L"\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}    ZKUPTP Driver  : 3\\.3\\.0\\.0\r\n");
    EXPECT_TRUE(std::regex_match(text, line)) << std::string(text.begin(), text.end());

    // A second line of another run is appended, and no second byte-order mark appears.
    EXPECT_TRUE(AppendLogLine(L"again", nullptr));
    std::string after = ReadBytes(path);
    EXPECT_EQ(after.compare(0, bytes.size(), bytes), 0);
    EXPECT_EQ(after.find("\xFF\xFE", 2), std::string::npos);

    // Another file name in the same folder starts its own file.
    EXPECT_TRUE(AppendLogLine(L"other", L"Other.txt"));
    EXPECT_EQ(ReadBytes(folder + L"\\Other.txt").substr(0, 2), "\xFF\xFE");

    SetLogOptions(&off);
    DeleteFileW(path.c_str());
    DeleteFileW((folder + L"\\Other.txt").c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW((std::wstring(temp) + L"qzlog" + std::to_wstring(GetCurrentProcessId()) + L"\\nested").c_str());
    RemoveDirectoryW((std::wstring(temp) + L"qzlog" + std::to_wstring(GetCurrentProcessId())).c_str());
}

}  // namespace
