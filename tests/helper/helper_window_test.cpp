// The hidden window's stop when it serves no pipe (the service test covers the rest).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "helper_messages.h"
#include "helper_window.h"
#include "test_printers.h"

namespace {

using namespace helper_test;

TEST(HelperWindow, StopsWithoutAPipe) {
    std::string pipe = "\\\\.\\pipe\\" + UniqueName("qzh_taken_");
    // Someone else holds the only instance: the window serves nothing but still stops.
    HANDLE squatter = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 512, 512, 0, nullptr);
    ASSERT_NE(squatter, INVALID_HANDLE_VALUE);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    TestIni ini("x");
    ASSERT_TRUE(StartWindowThread({pipe, ini.path()}));
    EXPECT_NE(HelperWindow(), nullptr);
    EXPECT_TRUE(StopWindowThread(kStopWaitHint));
    CloseHandle(squatter);
}

}  // namespace
