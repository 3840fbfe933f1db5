#include "lib_stop.h"

#include <atomic>

namespace {
constexpr DWORD kLookAgainMs = 50;

std::atomic<HANDLE> g_stopEvent{nullptr};

HANDLE MakeOrGet() {
    HANDLE event = g_stopEvent.load();
    if (event) return event;
    HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!made) return nullptr;
    // Two first users at once: one event wins, the other is closed.
    if (!g_stopEvent.compare_exchange_strong(event, made)) {
        CloseHandle(made);
        return event;
    }
    return made;
}
}  // namespace

HANDLE LibraryStopEvent() { return MakeOrGet(); }

void SignalLibraryStop() {
    if (HANDLE event = MakeOrGet()) SetEvent(event);
}

void ClearLibraryStop() {
    if (HANDLE event = MakeOrGet()) ResetEvent(event);
}

void CloseLibraryStop() {
    if (HANDLE event = g_stopEvent.exchange(nullptr)) CloseHandle(event);
}

bool LibraryStopping() {
    HANDLE event = MakeOrGet();
    return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

bool SleepOrStop(DWORD ms) { return WaitOrStop(nullptr, ms) == WAIT_OBJECT_0 + 1; }

DWORD WaitOrStop(HANDLE handle, DWORD ms) {
    HANDLE stop = MakeOrGet();
    if (!stop) {
        if (handle) return WaitForSingleObject(handle, ms);
        Sleep(ms);
        return WAIT_TIMEOUT;
    }
    if (!handle) return WaitForSingleObject(stop, ms) == WAIT_OBJECT_0 ? WAIT_OBJECT_0 + 1 : WAIT_TIMEOUT;
    HANDLE both[2] = {handle, stop};
    return WaitForMultipleObjects(2, both, FALSE, ms);
}

namespace {
// Peeking serves the sent messages; posted ones stay queued for the thread's own loop.
void ServeNow() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}
}  // namespace

void JoinLibraryThread(HANDLE thread) {
    if (!thread) return;
    // A message sent before the wait began may not wake it: serve before every wait, and wake
    // now and then to look again.
    for (;;) {
        ServeNow();
        DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, kLookAgainMs, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return;
    }
}

void ServeSentMessages(DWORD ms) {
    ServeNow();
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_SENDMESSAGE) == WAIT_OBJECT_0) ServeNow();
}
