// The connect queue's rules and steering, with a requester window of the test's own that
// answers each phase as the test scripts it. No request here reaches the Result phase: the
// server and driver side is covered end to end.
#include <gtest/gtest.h>

#include <functional>
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

TEST_F(ConnectQueueTest, CancelReleasesAHeldWorkerAndDoesNothingOnAnEmptyQueue) {
    EXPECT_EQ(PnxConnectCancel(service), 1);
    DeviceEntry* device = Create(Named("Disk"));
    ASSERT_NE(device, nullptr);
    requester.inside = [this](uint16_t phase) {
        if (phase == kPhaseStart) PnxConnectStop(service);
    };
    ASSERT_EQ(PnxConnectUsbDevice(service, requester.window, device, 2, kActionButton, nullptr, 0), 1);
    ASSERT_TRUE(PumpUntil([this] { return requester.Count(PNXN_CONNECT) == 1; }, kEventWait));
    EXPECT_EQ(PnxConnectCancel(service), 1);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(requester.Phases(), (std::vector<uint16_t>{kPhaseStart, kPhaseEnd}));
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

}  // namespace
