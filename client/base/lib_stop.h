// The library's stop event: set when the client unregisters or the library is unloaded, so
// that every wait of a library thread (a connect worker's driver and confirmation waits, a
// watcher's poll) ends at once instead of running on into code that is about to go away.
// Cleared again when a client registers. Safe from any thread; takes no library lock.
#pragma once

#include <windows.h>

// The manual-reset event itself (created on first use; null only when it cannot be made).
HANDLE LibraryStopEvent();

// Sets the event: every library thread ends its waits. ClearLibraryStop starts a new life;
// CloseLibraryStop closes the event as the library is unloaded.
void SignalLibraryStop();
void ClearLibraryStop();
void CloseLibraryStop();

// True once SignalLibraryStop ran and no ClearLibraryStop since.
bool LibraryStopping();

// Sleeps up to `ms`; true when the stop event cut the sleep short (or was set already).
bool SleepOrStop(DWORD ms);

// Waits up to `ms` for `handle` or the stop event: WAIT_OBJECT_0 for the handle,
// WAIT_OBJECT_0 + 1 for the stop, else what the wait returned (WAIT_TIMEOUT, WAIT_FAILED).
// A null handle waits for the stop alone.
DWORD WaitOrStop(HANDLE handle, DWORD ms);

// Waits without limit for a library thread to end, serving the messages that other threads
// send to this thread's windows meanwhile (a worker inside a SendMessage to a window of this
// thread would otherwise never end). No lock may be held.
void JoinLibraryThread(HANDLE thread);

// Waits up to `ms` for a message that another thread sends to this thread's windows and
// serves it (and any others waiting); returns at once after serving.
void ServeSentMessages(DWORD ms);
