#include "app_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Unique(const char* tag) {
    return std::string("QzTest") + tag + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
}

// A top-level window of its own class, destroyed afterwards.
class TestWindow {
public:
    TestWindow(const std::string& cls, const std::string& title) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = cls.c_str();
        RegisterClassA(&wc);
        window = CreateWindowA(cls.c_str(), title.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    }
    ~TestWindow() { DestroyWindow(window); }
    HWND window;
};

}  // namespace

TEST(NamedMutex, OwnedNamesStayTakenTestsDoNot) {
    std::string name = Unique("Mutex");
    EXPECT_EQ(CheckNamedMutex(name.c_str(), FALSE, FALSE), 0);  // a pure test keeps nothing
    EXPECT_EQ(CheckNamedMutex(name.c_str(), FALSE, FALSE), 0);
    EXPECT_EQ(CheckNamedMutex(name.c_str(), TRUE, TRUE), 0);    // taken for the process
    EXPECT_EQ(CheckNamedMutex(name.c_str(), TRUE, TRUE), 1);
    EXPECT_EQ(CheckNamedMutex(name.c_str(), TRUE, FALSE), 1);
    EXPECT_EQ(CheckNamedMutex(name.c_str(), FALSE, FALSE), 0);  // "Global\" names are another name
    HANDLE global = OpenMutexA(SYNCHRONIZE, FALSE, ("Global\\" + name).c_str());
    EXPECT_NE(global, nullptr);
    CloseHandle(global);
}

TEST(WindowFinders, ByClassTitleAndDescription) {
    std::string cls = Unique("Class");
    std::string title = Unique("Title");
    TestWindow w(cls, title);
    ASSERT_NE(w.window, nullptr);
    std::string lowerCls = cls, upperTitle = title;
    for (char& c : lowerCls) c = static_cast<char>(tolower(c));
    for (char& c : upperTitle) c = static_cast<char>(toupper(c));
    EXPECT_EQ(FindWindowByText(lowerCls.c_str(), TRUE), w.window);
    EXPECT_EQ(FindWindowByText(upperTitle.c_str(), FALSE), w.window);
    EXPECT_EQ(FindWindowByText(title.c_str(), TRUE), nullptr);

    HWND found = nullptr;
    EXPECT_EQ(FindRunningApplication(kFindByTitle, title.c_str(), &found), 1);
    EXPECT_EQ(found, w.window);
    found = nullptr;
    EXPECT_EQ(FindRunningApplication(kFindByClass, cls.c_str(), &found), 0);  // no mutex of that name: not running
    ASSERT_EQ(CheckNamedMutex(cls.c_str(), TRUE, TRUE), 0);
    EXPECT_EQ(FindRunningApplication(kFindByClass, cls.c_str(), &found), 1);
    EXPECT_EQ(found, w.window);
    std::string other = Unique("NoWindow");
    CheckNamedMutex(other.c_str(), TRUE, TRUE);
    found = nullptr;
    EXPECT_EQ(FindRunningApplication(kFindByClass, other.c_str(), &found), 1);  // running, window unknown
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(FindRunningApplication(3, title.c_str(), &found), 0);
    EXPECT_EQ(FindRunningApplication(kFindByTitle, "", &found), 0);

    char shown[32] = "";
    int number = -1;
    found = nullptr;
    std::string description = title + ";Display Name;42";
    EXPECT_EQ(FindApplicationWindow(kFindByTitle, description.c_str(), &found, shown, sizeof shown, &number), 1);
    EXPECT_EQ(found, w.window);
    EXPECT_STREQ(shown, "Display Name");
    EXPECT_EQ(number, 42);
    char tiny[4] = "old";
    EXPECT_EQ(FindApplicationWindow(kFindByTitle, description.c_str(), &found, tiny, sizeof tiny, &number), 1);
    EXPECT_STREQ(tiny, "old");  // a title that does not fit is not copied
}
