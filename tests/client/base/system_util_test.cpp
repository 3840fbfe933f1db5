#include "system_util.h"

#include <gtest/gtest.h>

#include <string>

TEST(SignalNamedEvent, SetsAnExistingEventOnly) {
    std::string name = "QzTestEvent_" + std::to_string(GetCurrentProcessId());
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(SignalNamedEvent(name.c_str()), 1);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
    EXPECT_EQ(SignalNamedEvent((name + "_missing").c_str()), 0);
}

TEST(FileVersionPart, BothHalvesAndNoResource) {
    char path[MAX_PATH + 1];
    ASSERT_GT(GetSystemDirectoryA(path, MAX_PATH), 0u);
    std::string kernel = std::string(path) + "\\kernel32.dll";
    DWORD ms = 0, value = 7;
    EXPECT_TRUE(FileVersionPart(kernel.c_str(), "fileversionMS", &ms));
    EXPECT_NE(ms, 0u);
    EXPECT_FALSE(FileVersionPart(kernel.c_str(), "ProductVersionMS", &value));
    EXPECT_EQ(value, 0u);
    GetModuleFileNameA(nullptr, path, MAX_PATH);  // the test program has no version resource
    value = 7;
    EXPECT_FALSE(FileVersionPart(path, "FileVersionLS", &value));
    EXPECT_EQ(value, 0u);
}
