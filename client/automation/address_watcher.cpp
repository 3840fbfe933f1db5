#include "address_watcher.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <atomic>
#include <memory>

#include "lib_stop.h"
#include "local_addresses.h"
#include "messages.h"
#include "automation_threads.h"
#include "watchers.h"
#include "win_handles.h"
#include "server_names.h"

namespace {
constexpr DWORD kCancelWait = 1000;   // ms a withdrawn request may take to complete

class SystemNotifier final : public AddressChangeNotifier {
public:
    DWORD Request(OVERLAPPED* overlapped) override {
        HANDLE handle = nullptr;  // owned by the IP helper; never closed here
        return NotifyAddrChange(&handle, overlapped);
    }
    void Cancel(OVERLAPPED* overlapped) override {
        // A cancelled request still completes into the OVERLAPPED; wait for that before the
        // record goes away. Where cancelling does nothing, nothing will complete either.
        if (CancelIPChangeNotify(overlapped)) WaitForSingleObject(overlapped->hEvent, kCancelWait);
    }
};

struct AddressWatch {
    HWND service = nullptr;
    AddressChangeNotifier* notifier = nullptr;
    DWORD pollInterval = kAddressPollInterval;
    qz::Handle event;                    // auto-reset: a change, or the stop
    qz::Handle thread;
    std::atomic<bool> run{true};
    std::atomic<unsigned> rebuilds{0};
    OVERLAPPED overlapped = {};          // the thread's waiting request
};

// GUI thread: the running watcher. The rebuild count outlives it for tests.
std::unique_ptr<AddressWatch> g_watch;
std::atomic<unsigned> g_lastRebuilds{0};

void Rebuild(AddressWatch& watch) {
    ForgetHostAddresses();
    BuildLocalAddressList();
    g_lastRebuilds = ++watch.rebuilds;
}

DWORD WINAPI WatchThread(void* parameter) {
    auto& watch = *static_cast<AddressWatch*>(parameter);
    while (watch.run) {
        watch.overlapped = OVERLAPPED{};
        watch.overlapped.hEvent = watch.event.get();
        bool pending = watch.notifier->Request(&watch.overlapped) == ERROR_IO_PENDING;
        // A request that does not wait must not be asked again at once, or the thread spins.
        DWORD waited = WaitOrStop(watch.event.get(), pending ? INFINITE : watch.pollInterval);
        if (!watch.run || waited == WAIT_OBJECT_0 + 1) {
            if (pending) watch.notifier->Cancel(&watch.overlapped);
            break;
        }
        if (!pending || waited == WAIT_OBJECT_0) Rebuild(watch);
    }
    PostMessageA(watch.service, PNXM_ADDRESS_WATCH_END, 0, 0);
    return 0;
}

void StopWatchThread(void* context) {
    auto* watch = static_cast<AddressWatch*>(context);
    watch->run = false;
    SetEvent(watch->event.get());
}
}  // namespace

AddressChangeNotifier& SystemAddressChangeNotifier() {
    static SystemNotifier notifier;
    return notifier;
}

bool StartAddressWatchWith(HWND service, AddressChangeNotifier& notifier, DWORD pollInterval) {
    StopAddressWatch();
    auto watch = std::make_unique<AddressWatch>();
    watch->service = service;
    watch->notifier = &notifier;
    watch->pollInterval = pollInterval;
    g_lastRebuilds = 0;
    watch->event.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!watch->event) return false;
    watch->thread.reset(StartAutomationThread(WatchThread, watch.get(), StopWatchThread));
    if (!watch->thread) return false;
    ResumeThread(watch->thread.get());
    g_watch = std::move(watch);
    return true;
}

unsigned AddressWatchRebuildCount() { return g_lastRebuilds; }

bool StartAddressWatch(HWND service) {
    return StartAddressWatchWith(service, SystemAddressChangeNotifier(), kAddressPollInterval);
}

void StopAddressWatch() {
    if (!g_watch) return;
    g_watch->run = false;
    SetEvent(g_watch->event.get());
    // The record goes only once the thread has ended (at most the cancel's wait away).
    JoinLibraryThread(g_watch->thread.get());
    g_watch.reset();
}
