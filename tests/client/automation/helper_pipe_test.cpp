// The helper pipe record and its writer, against a pipe server of the test.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "helper_pipe.h"
#include "log.h"
#include "messages.h"

namespace {

TEST(HelperPipeRecord, TextsAreZeroPaddedAtTheirOffsets) {
    HelperPipeRecord record;
    std::memset(&record, 0xCC, sizeof record);
    ASSERT_TRUE(BuildHelperPipeRecord(kHelperPipeAddPair, "Driver A", "USB001", &record));
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(std::memcmp(bytes + 2, "Driver A", 9), 0);
    EXPECT_EQ(std::memcmp(bytes + 258, "USB001", 7), 0);
    for (size_t i = 2 + 9; i < 258; ++i) ASSERT_EQ(bytes[i], 0) << i;
    for (size_t i = 258 + 7; i < 290; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(HelperPipeRecord, TextsMustFitWithTheirTerminator) {
    HelperPipeRecord record = {};
    EXPECT_TRUE(BuildHelperPipeRecord(1, std::string(255, 'd').c_str(), std::string(31, 'p').c_str(), &record));
    EXPECT_FALSE(BuildHelperPipeRecord(1, std::string(256, 'd').c_str(), "p", &record));
    EXPECT_FALSE(BuildHelperPipeRecord(1, "d", std::string(32, 'p').c_str(), &record));
    EXPECT_FALSE(BuildHelperPipeRecord(1, nullptr, "p", &record));
    EXPECT_EQ(HelperPipeSend(1, std::string(300, 'd').c_str(), "p"), 0);
}

TEST(HelperPipeSend, ClearRecordReachesTheService) {
    HANDLE pipe = CreateNamedPipeA(HelperPipeName(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 512, 512, 0,
                                   nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    std::string received;
    std::thread server([&] {
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) received.append(buffer, got);
        DisconnectNamedPipe(pipe);
    });
    EXPECT_EQ(HelperPipeClearPairs(), 1);
    server.join();
    CloseHandle(pipe);
    ASSERT_EQ(received.size(), sizeof(HelperPipeRecord));
    EXPECT_EQ(received[0], 3);
    EXPECT_EQ(received[1], 0);
    EXPECT_STREQ(received.data() + 2, "Dummy");
    EXPECT_STREQ(received.data() + 258, "Dummy");
}

// Without the service the writer fails at once, and says so in the log: a pair the service
// never hears of leaves a printer's comment stale.
TEST(HelperPipeSend, MissingServiceFailsAtOnceAndIsLogged) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr, nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(window, nullptr);
    HWND lines = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 200, 200, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLogList)), nullptr, nullptr);
    LogSettings settings = {};
    settings.flags = kLogToDebugger;  // the lines reach the window's list box
    LogSetup(window, &settings);
    DWORD start = GetTickCount();
    // Nobody serves the pipe in this test (other test processes may, briefly).
    int result = HelperPipeSend(kHelperPipeRemovePair, "QZ Pipe Test Driver", "QZPT1:");
    if (result == 0) {
        EXPECT_LT(GetTickCount() - start, 6000u);
        char text[256] = "";
        SendMessageA(lines, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
        EXPECT_NE(std::string(text).find("record 2 (QZ Pipe Test Driver, QZPT1:) not sent"), std::string::npos) << text;
    }
    LogReset();
    DestroyWindow(window);
}

}  // namespace
