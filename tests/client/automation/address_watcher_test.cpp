// The address-change watcher against a scripted notice: a change rebuilds the local address
// list, a notice that never waits does not make the thread spin, and the stop withdraws a
// waiting request.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "address_watcher.h"
#include "lib_lock.h"
#include "lib_test_support.h"
#include "local_addresses.h"
#include "messages.h"
#include "watchers.h"

namespace {

class ScriptedNotifier : public AddressChangeNotifier {
public:
    explicit ScriptedNotifier(DWORD answer) : answer_(answer) {}
    DWORD Request(OVERLAPPED* overlapped) override {
        event_ = overlapped->hEvent;
        ++requests;
        return answer_;
    }
    void Cancel(OVERLAPPED*) override { ++cancels; }
    // Reports an address change the way the system does: by signalling the request's event.
    void Change() { SetEvent(event_.load()); }

    std::atomic<int> requests{0};
    std::atomic<int> cancels{0};

private:
    DWORD answer_;
    std::atomic<HANDLE> event_{nullptr};
};

template <typename Condition>
bool WaitFor(Condition condition, DWORD milliseconds = 2000) {
    ULONGLONG end = GetTickCount64() + milliseconds;
    while (!condition()) {
        if (GetTickCount64() > end) return false;
        Sleep(5);
    }
    return true;
}

class AddressWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        StopAddressWatch();
        DestroyWindow(window);
        BuildLocalAddressList();
    }
    // A scripted notice that lives as long as the test's watcher does (until TearDown).
    ScriptedNotifier& Notifier(DWORD answer) {
        return *notifiers.emplace_back(std::make_unique<ScriptedNotifier>(answer));
    }
    // Puts a marker into the local address list that only a rebuild removes.
    static void MarkLocalAddresses() {
        LibraryLock lock;
        g_lib.localAddresses = {{0x01020304, 0xFFFFFFFF}};
    }
    static bool MarkerGone() {
        std::vector<LocalAddress> list = LocalAddressesSnapshot();
        return list.size() != 1 || list[0].address != 0x01020304;
    }
    HWND window = nullptr;
    std::vector<std::unique_ptr<ScriptedNotifier>> notifiers;
};

TEST_F(AddressWatcherTest, EachChangeRebuildsTheLocalAddressListAndAsksAgain) {
    ScriptedNotifier& notifier = Notifier(ERROR_IO_PENDING);
    MarkLocalAddresses();
    ASSERT_TRUE(StartAddressWatchWith(window, notifier, kAddressPollInterval));
    ASSERT_TRUE(WaitFor([&] { return notifier.requests == 1; }));
    Sleep(50);
    EXPECT_EQ(AddressWatchRebuildCount(), 0u) << "no change, no rebuild";
    EXPECT_FALSE(MarkerGone());

    notifier.Change();
    ASSERT_TRUE(WaitFor([&] { return notifier.requests == 2; }));
    EXPECT_EQ(AddressWatchRebuildCount(), 1u);
    EXPECT_TRUE(MarkerGone());

    notifier.Change();
    ASSERT_TRUE(WaitFor([&] { return notifier.requests == 3; }));
    EXPECT_EQ(AddressWatchRebuildCount(), 2u);
}

TEST_F(AddressWatcherTest, ANoticeThatReturnsAtOnceDoesNotSpin) {
    ScriptedNotifier& notifier = Notifier(NO_ERROR);
    ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(StartAddressWatchWith(window, notifier, 100));
    ASSERT_TRUE(WaitFor([&] { return notifier.requests >= 3 && AddressWatchRebuildCount() >= 3; }, 10000));
    Sleep(300);
    // At most one request per poll interval, never thousands (a loaded machine makes fewer).
    int requests = notifier.requests.load();
    EXPECT_LE(requests, static_cast<int>((GetTickCount64() - start) / 100) + 2);

    ScriptedNotifier& failing = Notifier(ERROR_NOT_SUPPORTED);
    ASSERT_TRUE(StartAddressWatchWith(window, failing, kAddressPollInterval));
    ASSERT_TRUE(WaitFor([&] { return failing.requests == 1; }));
    Sleep(200);
    EXPECT_EQ(failing.requests.load(), 1);
}

TEST_F(AddressWatcherTest, StopWithdrawsTheWaitingRequestAndReportsTheEnd) {
    ScriptedNotifier& notifier = Notifier(ERROR_IO_PENDING);
    ASSERT_TRUE(StartAddressWatchWith(window, notifier, kAddressPollInterval));
    ASSERT_TRUE(WaitFor([&] { return notifier.requests == 1; }));
    StopAddressWatch();
    EXPECT_EQ(notifier.cancels.load(), 1);
    EXPECT_EQ(AddressWatchRebuildCount(), 0u);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, window, PNXM_ADDRESS_WATCH_END, PNXM_ADDRESS_WATCH_END, PM_REMOVE));
    StopAddressWatch();  // a second stop has nothing to do
}

}  // namespace
