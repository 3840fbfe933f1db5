// The connect queue's rules and steering, with a requester window of the test's own that
// answers each phase as the test scripts it. No request here reaches the Result phase: the
// server and driver side is covered end to end.
#include <gtest/gtest.h>

#include <functional>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "connect_queue.h"
#include "device_test_support.h"
#include "pnxscapi.h"

namespace {

struct Seen {
    UINT message;
    uint16_t phase;
    DeviceEntry* device;
};

// Records every connect-family event and PNXN_COMPLETE; answers by `answer`, and may run
// `inside` during an event (as the utility steers from its handlers).
class Requester {
public:
    Requester() {
        static const ATOM atom = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "QZ.TEST.REQUESTER";
            return RegisterClassA(&wc);
        }();
        (void)atom;
        window = CreateWindowExA(0, "QZ.TEST.REQUESTER", "", 0, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Requester() { DestroyWindow(window); }
    size_t Count(UINT message, uint16_t phase = 0) const {
        size_t n = 0;
        for (const Seen& s : seen) n += s.message == message && (phase == 0 || s.phase == phase);
        return n;
    }
    std::vector<uint16_t> Phases() const {
        std::vector<uint16_t> phases;
        for (const Seen& s : seen) {
            if (s.message != PNXN_COMPLETE) phases.push_back(s.phase);
        }
        return phases;
    }

    HWND window = nullptr;
    std::vector<Seen> seen;
    std::function<LRESULT(uint16_t phase)> answer = [](uint16_t) { return 1; };
    std::function<void(uint16_t phase)> inside = [](uint16_t) {};

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<Requester*>(GetWindowLongPtrA(w, GWLP_USERDATA));
        if (self && (m == PNXN_CONNECT || m == PNXN_DISCONNECT)) {
            auto* event = reinterpret_cast<const ConnectEvent*>(wp);
            self->seen.push_back({m, event->phase, reinterpret_cast<DeviceEntry*>(lp)});
            self->inside(event->phase);
            return self->answer(event->phase);
        }
        if (self && m == PNXN_COMPLETE) {
            self->seen.push_back({m, 0, nullptr});
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }
};

class ConnectQueueTest : public DeviceTest {
protected:
    bool Drained() {
        return PumpUntil([this] { return requester.Count(PNXN_COMPLETE) > 0; }, 10000);
    }
    size_t Queued() {
        ConnectEnumItem item;
        size_t n = 0;
        while (PnxEnumConnect(service, static_cast<int>(n), &item)) ++n;
        return n;
    }
    Requester requester;
};

TEST_F(ConnectQueueTest, AStartAnsweredZeroGoesStraightToEndAndTheQueueCompletes) {
    DeviceEntry* device = Create(Named("Printer"));
    ASSERT_NE(device, nullptr);
    requester.answer = [](uint16_t phase) { return phase == kPhaseStart ? 0 : 1; };
    EXPECT_EQ(PnxConnectUsbDevice(service, requester.window, device, 1, kActionButton, nullptr, 0), 1);
    // The same request again is taken as done and adds nothing.
    EXPECT_EQ(PnxConnectUsbDevice(service, requester.window, device, 1, kActionButton, nullptr, 0), 1);
    EXPECT_EQ(Queued(), 1u);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart, kPhaseEnd}));
    EXPECT_EQ(Queued(), 0u);
}

TEST_F(ConnectQueueTest, StopInsideEndHoldsTheQueueUntilTheRequesterLetsItGo) {
    DeviceEntry* device = Create(Named("Shown"));
    ASSERT_NE(device, nullptr);
    requester.answer = [](uint16_t phase) { return phase == kPhaseStart ? 0 : 1; };
    requester.inside = [this](uint16_t phase) {
        if (phase == kPhaseEnd) PnxConnectStop(service);
    };
    ASSERT_EQ(PnxConnectUsbDevice(service, requester.window, device, 1, kActionButton, nullptr, 0), 1);
    ASSERT_TRUE(PumpUntil([this] { return requester.Count(PNXN_CONNECT, kPhaseEnd) == 1; }, kEventWait));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(requester.Count(PNXN_COMPLETE), 0u);  // the requester still shows the outcome
    EXPECT_EQ(PnxConnectStart(service, 0), 1);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart, kPhaseEnd}));
}

TEST_F(ConnectQueueTest, StopInsideAPhaseThenStartFourEndsTheRequest) {
    DeviceEntry* device = Create(Named("Scanner"));
    ASSERT_NE(device, nullptr);
    requester.inside = [this](uint16_t phase) {
        if (phase == kPhaseStart) { EXPECT_EQ(PnxConnectStop(service), 1); }
    };
    ASSERT_EQ(PnxDisconnectUsbDevice(service, requester.window, device, kActionButton), 1);
    ASSERT_TRUE(PumpUntil([this] { return requester.Count(PNXN_DISCONNECT) == 1; }, kEventWait));
    // Held after Start: nothing more comes until the requester says how to go on.
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart}));
    EXPECT_EQ(PnxConnectStart(service, kPhaseEnd), 1);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart, kPhaseEnd}));
}

TEST_F(ConnectQueueTest, CancelLeavesAHeldWorkerHeldAndDoesNothingOnAnEmptyQueue) {
    EXPECT_EQ(PnxConnectCancel(service), 1);
    DeviceEntry* device = Create(Named("Disk"));
    ASSERT_NE(device, nullptr);
    requester.inside = [this](uint16_t phase) {
        if (phase == kPhaseStart) PnxConnectStop(service);
    };
    ASSERT_EQ(PnxConnectUsbDevice(service, requester.window, device, 2, kActionButton, nullptr, 0), 1);
    ASSERT_TRUE(PumpUntil([this] { return requester.Count(PNXN_CONNECT) == 1; }, kEventWait));
    // The cancel is for the installation wait: the requester still decides how a held
    // request goes on.
    EXPECT_EQ(PnxConnectCancel(service), 1);
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart}));
    EXPECT_EQ(PnxConnectStart(service, kPhaseEnd), 1);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart, kPhaseEnd}));
}

// A request queued just as the worker finds the queue empty must be taken by that worker or
// start one of its own. A second thread queues the moment the queue is empty, after a small
// random delay, so that many requests land while the worker is letting go; this thread serves
// the phases at once and watches that every request runs. The rounds are bounded in time too:
// on a loaded machine each round (a new worker thread under Wine) can take a tenth of a second.
TEST_F(ConnectQueueTest, RequestsQueuedWhileTheWorkerEndsAllComplete) {
    DeviceEntry* devices[2] = {Create(Named("One", "1-1")), Create(Named("Two", "1-2"))};
    ASSERT_TRUE(devices[0] && devices[1]);
    requester.answer = [](uint16_t phase) { return phase == kPhaseStart ? 0 : 1; };
    constexpr size_t kRounds = 1000;
    constexpr ULONGLONG kQueueingMs = 40000;
    constexpr ULONGLONG kStrandedMs = 15000;  // no request ended for this long: one is stranded
    std::atomic<bool> queuing{true};
    std::atomic<size_t> queued{0};
    std::thread queuer([&] {
        std::mt19937 random(20261210);
        const ULONGLONG until = GetTickCount64() + kQueueingMs;
        while (queuing && queued < kRounds && GetTickCount64() < until) {
            // Yield while the queue is busy: a spinning thread starves the worker on a full machine.
            if (Queued() != 0) {
                SwitchToThread();
                continue;
            }
            for (uint32_t spin = random() % 400; spin > 0; --spin) YieldProcessor();
            if (PnxConnectUsbDevice(service, requester.window, devices[queued % 2], 0, kActionButton, nullptr, 0)) ++queued;
        }
        queuing = false;
    });
    // A third thread keeps asking for the queue, so that the worker often waits for the lock
    // between two of its steps: that widens the moment in which a request can be stranded.
    std::thread asker([&] {
        ConnectEnumItem item;
        while (queuing) {
            PnxEnumConnect(service, 0, &item);
            SwitchToThread();
        }
    });
    size_t ended = 0;
    ULONGLONG progress = GetTickCount64();
    bool stranded = false;
    while (queuing || ended < queued) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        size_t now = requester.Count(PNXN_CONNECT, kPhaseEnd);
        if (now != ended) {
            ended = now;
            progress = GetTickCount64();
        } else if (GetTickCount64() - progress > kStrandedMs) {
            stranded = true;
            break;
        }
    }
    queuing = false;
    queuer.join();
    asker.join();
    EXPECT_FALSE(stranded) << "request " << ended << " of " << queued << " was never run";
    EXPECT_GE(queued, 100u) << "too few rounds to say anything";
    EXPECT_TRUE(PumpUntil([&] { return Queued() == 0 && requester.Count(PNXN_CONNECT, kPhaseEnd) == queued; }, 10000));
    std::printf("%zu requests queued and run\n", queued.load());
}

TEST_F(ConnectQueueTest, AnInsertAtTheFrontWhileARequestRunsGoesBehindIt) {
    DeviceEntry* first = Create(Named("First", "1-1"));
    DeviceEntry* second = Create(Named("Second", "1-2"));
    ASSERT_TRUE(first && second);
    requester.answer = [](uint16_t phase) { return phase == kPhaseStart ? 0 : 1; };
    bool inserted = false;
    requester.inside = [&](uint16_t phase) {
        if (phase != kPhaseStart || inserted) return;
        inserted = true;
        EXPECT_EQ(PnxConnectInterruption(service, requester.window, second, 1, kActionButton, 0), 1);
        ConnectEnumItem item;
        ASSERT_EQ(PnxEnumConnect(service, 0, &item), 1);
        EXPECT_EQ(item.device, first);
        ASSERT_EQ(PnxEnumConnect(service, 1, &item), 1);
        EXPECT_EQ(item.device, second);
    };
    ASSERT_EQ(PnxConnectUsbDevice(service, requester.window, first, 1, kActionButton, nullptr, 0), 1);
    ASSERT_TRUE(Drained());
    ASSERT_EQ(requester.seen.size(), 5u);  // Start, End of each, then one PNXN_COMPLETE
    EXPECT_EQ(requester.seen[0].device, first);
    EXPECT_EQ(requester.seen[2].device, second);
}

TEST_F(ConnectQueueTest, ADeletedDeviceLosesItsWaitingRequestsAndOutlivesTheRunningOne) {
    DeviceEntry* held = Create(Named("Held", "1-1"));
    DeviceEntry* waiting = Create(Named("Waiting", "1-2"));
    ASSERT_TRUE(held && waiting);
    requester.inside = [this](uint16_t phase) {
        if (phase == kPhaseStart) PnxConnectStop(service);
    };
    ASSERT_EQ(PnxConnectUsbDevice(service, requester.window, held, 1, kActionButton, nullptr, 0), 1);
    ASSERT_EQ(PnxConnectUsbDevice(service, requester.window, waiting, 1, kActionButton, nullptr, 0), 1);
    ASSERT_TRUE(PumpUntil([this] { return requester.Count(PNXN_CONNECT) == 1; }, kEventWait));
    {
        LibraryLock lock;
        ASSERT_TRUE(DeleteDeviceRowLocked(server->serverWindow, waiting));
        ASSERT_TRUE(DeleteDeviceRowLocked(server->serverWindow, held));
    }
    EXPECT_EQ(Queued(), 1u);  // only the running request is left
    EXPECT_EQ(PnxConnectStart(service, kPhasePermit), 1);
    ASSERT_TRUE(Drained());
    // The running request saw its device go and ran no further phase.
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart}));
    EXPECT_EQ(DeviceHeapBlocksInUse(), blocksBefore);
}

TEST_F(ConnectQueueTest, AServerLostWhileItsDeviceWaitsLeavesNothingBehind) {
    DeviceEntry* device = Create(Named("Lost"));
    ASSERT_NE(device, nullptr);
    requester.inside = [this](uint16_t phase) {
        if (phase == kPhaseStart) PnxConnectStop(service);
    };
    ASSERT_EQ(PnxConnectUsbDevice(service, requester.window, device, 1, kActionButton, nullptr, 0), 1);
    ASSERT_TRUE(PumpUntil([this] { return requester.Count(PNXN_CONNECT) == 1; }, kEventWait));
    ServerEntry* lost = server;
    server = nullptr;  // the fixture must not touch it any more
    DestroyServerWindow(service, lost);
    EXPECT_EQ(PnxConnectStart(service, kPhaseResult), 1);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart}));
    EXPECT_TRUE(PumpUntil([this] { return DeviceHeapBlocksInUse() == blocksBefore; }, kEventWait));
}

// A requester that ends the library from inside a phase handler (the utility exiting from a
// nested dialog loop): the worker waits for that handler, so the end cannot wait for the
// worker; it must return, and the worker end once the handler did.
TEST_F(ConnectQueueTest, AnUnregisterFromInsideAPhaseHandlerReturnsAndTheWorkerEnds) {
    DeviceEntry* device = Create(Named("Leaving"));
    ASSERT_NE(device, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([done] {
        if (WaitForSingleObject(done, 60000) == WAIT_OBJECT_0) return;
        std::fprintf(stderr, "the unregister inside the phase handler never returned\n");
        std::fflush(stderr);
        std::_Exit(3);
    });
    int unregistered = -1;
    requester.inside = [&](uint16_t phase) {
        if (phase == kPhaseStart && unregistered < 0) unregistered = PnxUnRegisterNotification(service);
    };
    ASSERT_EQ(PnxConnectUsbDevice(service, requester.window, device, 1, kActionButton, nullptr, 0), 1);
    server = nullptr;  // gone with the service
    EXPECT_TRUE(PumpUntil([&] { return unregistered >= 0; }, kEventWait));
    SetEvent(done);
    watchdog.join();
    CloseHandle(done);
    EXPECT_EQ(unregistered, 1);
    EXPECT_TRUE(PumpUntil([] { return !ConnectWorkerRuns(); }, kEventWait));
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart}));
}

}  // namespace
