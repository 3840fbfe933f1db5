// Library load, one-time initialisation, registration and unregistration of the client window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <memory>

#include "lib_test_support.h"
#include "messages.h"
#include "server_list.h"

namespace {

int CountServiceWindows() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::strcmp(name, kServiceWindowClass) == 0 && IsWindow(window)) ++*reinterpret_cast<int*>(param);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        OneTimeInitialize();
        ResetLibStateForTests();
    }
    void TearDown() override {
        if (g_lib.serviceWindow && IsWindow(g_lib.serviceWindow)) PnxUnRegisterNotification(g_lib.serviceWindow);
        TakeQuitMessage();
        ResetLibStateForTests();
    }
    HWND RegisterWith(const RegisterConfig* config) { return PnxRegisterNotification(client.get(), config); }

    TestClientWindow client;
};

TEST(LibraryLifecycle, InitializeAndUninitializeRunOnceEach) {
    EnsureLibraryAttached();
    HINSTANCE instance = g_lib.instance;
    WNDCLASSA wc;
    EXPECT_EQ(PnxInitialize(), 1);  // already done at attach
    EXPECT_TRUE(g_lib.initialized);
    EXPECT_TRUE(GetClassInfoA(instance, kServiceWindowClass, &wc));

    EXPECT_EQ(PnxUninitialize(), 1);
    EXPECT_FALSE(g_lib.initialized);
    EXPECT_FALSE(GetClassInfoA(instance, kServiceWindowClass, &wc));
    EXPECT_TRUE(g_lib.localAddresses.empty());
    EXPECT_EQ(PnxUninitialize(), 1);  // a second undo does nothing
    EXPECT_FALSE(g_lib.initialized);

    EXPECT_EQ(PnxInitialize(), 1);
    EXPECT_TRUE(g_lib.initialized);
    EXPECT_TRUE(GetClassInfoA(instance, kServiceWindowClass, &wc));
}

TEST_F(Registration, NullClientWindowGivesNoServiceWindow) {
    EXPECT_EQ(PnxRegisterNotification(nullptr, nullptr), nullptr);
    EXPECT_EQ(g_lib.clientWindow, nullptr);
    EXPECT_EQ(CountServiceWindows(), 0);
}

TEST_F(Registration, SecondRegistrationReturnsTheLiveServiceWindow) {
    HWND first = RegisterWith(nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, client.get());
    TestClientWindow other;
    HWND second = PnxRegisterNotification(other.get(), nullptr);
    EXPECT_EQ(second, first);
    EXPECT_EQ(g_lib.clientWindow, client.get());
    EXPECT_EQ(CountServiceWindows(), 1);
}

TEST_F(Registration, RegisterUnregisterRegisterWorks) {
    HWND first = RegisterWith(nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(PnxUnRegisterNotification(first), 1);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(g_lib.clientWindow, nullptr);
    EXPECT_EQ(g_lib.serviceWindow, nullptr);
    TakeQuitMessage();

    HWND second = RegisterWith(nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(IsWindow(second));
    EXPECT_EQ(g_lib.serviceWindow, second);
    EXPECT_EQ(CountServiceWindows(), 1);
}

TEST_F(Registration, DestroyingTheServiceWindowPostsQuitWithCodeZero) {
    TakeQuitMessage();
    HWND service = RegisterWith(nullptr);
    ASSERT_NE(service, nullptr);
    EXPECT_FALSE(TakeQuitMessage());
    ASSERT_EQ(PnxUnRegisterNotification(service), 1);
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Registration, UnregisterTouchesOnlyTheLibrarysServiceWindow) {
    EXPECT_EQ(PnxUnRegisterNotification(nullptr), 0);
    HWND service = RegisterWith(nullptr);
    ASSERT_NE(service, nullptr);
    // The client's own window is no service window: it stays, and so does the registration.
    EXPECT_EQ(PnxUnRegisterNotification(client.get()), 0);
    EXPECT_TRUE(IsWindow(client.get()));
    EXPECT_TRUE(IsWindow(service));
    EXPECT_EQ(PnxUnRegisterNotification(service), 1);
    EXPECT_EQ(PnxUnRegisterNotification(service), 1);  // no window any more: no effect
}

TEST_F(Registration, OptionsWordNeedsARecordThatHoldsIt) {
    struct Case {
        uint32_t size;
        uint32_t expected;
    };
    for (Case c : {Case{0, 0}, Case{266, 0}, Case{267, 0}, Case{300, 0}, Case{301, 5}, Case{512, 5}}) {
        RegisterConfig config = {};
        config.size = c.size;
        config.options = 5;
        HWND service = RegisterWith(&config);
        ASSERT_NE(service, nullptr) << c.size;
        EXPECT_EQ(g_lib.options, c.expected) << "size " << c.size;
        PnxUnRegisterNotification(service);
        TakeQuitMessage();
    }
}

TEST_F(Registration, NullConfigTakesTheDefaults) {
    std::strcpy(g_lib.location, "left over");
    g_lib.options = 7;
    ASSERT_NE(RegisterWith(nullptr), nullptr);
    EXPECT_STREQ(g_lib.driverName, "zkuptp");
    EXPECT_STREQ(g_lib.location, "");
    EXPECT_EQ(g_lib.options, 0u);
    EXPECT_EQ(g_lib.properties.communicateMode, 1);
    EXPECT_EQ(g_lib.properties.timer, 10000u);
    EXPECT_EQ(g_lib.properties.useBroadAddress, 0);
}

TEST_F(Registration, ConfigTextsAreTakenOnlyWhenTerminatedInTheirFields) {
    RegisterConfig config = {};
    std::strcpy(config.driver, "otherbus");
    std::strcpy(config.location, "HCU\\Software\\QzTest\\none");
    config.size = sizeof config;
    ASSERT_NE(RegisterWith(&config), nullptr);
    EXPECT_STREQ(g_lib.driverName, "otherbus");
    EXPECT_STREQ(g_lib.location, "HCU\\Software\\QzTest\\none");
    PnxUnRegisterNotification(g_lib.serviceWindow);
    TakeQuitMessage();

    std::memset(config.driver, 'x', sizeof config.driver);
    std::memset(config.location, 'y', sizeof config.location);
    ASSERT_NE(RegisterWith(&config), nullptr);
    EXPECT_STREQ(g_lib.driverName, "zkuptp");
    EXPECT_STREQ(g_lib.location, "");
}

TEST_F(Registration, ServiceWindowGoneWithItsOwnerAllowsANewRegistration) {
    auto owner = std::make_unique<TestClientWindow>();
    HWND first = PnxRegisterNotification(owner->get(), nullptr);
    ASSERT_NE(first, nullptr);
    owner->Destroy();  // owned windows go with their owner
    EXPECT_FALSE(IsWindow(first));
    TakeQuitMessage();
    HWND second = RegisterWith(nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(IsWindow(second));
}

TEST_F(Registration, ServerParamNeedsAServerWithRecord) {
    HWND service = RegisterWith(nullptr);
    ASSERT_NE(service, nullptr);
    ServerEntry* entry = NewServerEntry(service);
    ASSERT_NE(entry, nullptr);
    // A row of the server list, as a search reply makes it; deleting the row frees the entry.
    HWND list = ServerListControl(service);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.pszText = const_cast<char*>("");
    item.lParam = reinterpret_cast<LPARAM>(entry);
    ASSERT_GE(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_EQ(PnxSetServerParam(service, entry, 0x1234), 1);
    EXPECT_EQ(PnxGetServerParam(service, entry), 0x1234u);
    EXPECT_EQ(PnxGetServerParam(nullptr, entry), 0u);
    EXPECT_EQ(PnxSetServerParam(service, nullptr, 1), 0);
    ServerEntry bare;
    EXPECT_EQ(PnxSetServerParam(service, &bare, 1), 0);
    EXPECT_EQ(PnxGetServerParam(service, &bare), 0u);
    ListView_DeleteItem(list, 0);
    EXPECT_EQ(PnxSetDeviceListPacket(), 1);
    EXPECT_EQ(PnxSetDeviceListPacket(nullptr, nullptr, 0, 7, "any"), 1);
}

TEST_F(Registration, SpecialNotificationOptionsAreKept) {
    EXPECT_EQ(PnxRegisterSpecialNotification(nullptr, kSpecialNetworkError | kSpecialBlackoutWatch), 1);
    EXPECT_EQ(g_lib.specialNotification, 6u);
}

}  // namespace
