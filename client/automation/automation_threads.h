// The automation and watcher threads (printer, process and address watchers, Auto Application,
// Auto Printer): each is started here and counted, holds a reference to the library while it
// runs (a FreeLibrary meanwhile unloads the library only once the thread has left its code),
// and comes with a stop that the library's end calls. The watchers' and Auto Application's
// waits end at the library's stop event too (lib_stop.h); an Auto Printer's waits are full
// with its printers' notices and hear its stop through its control event.
#pragma once

#include <windows.h>

// Tells a thread to end: sets its flags and events. Runs under the library lock, so it neither
// waits nor takes another lock.
using AutomationThreadStop = void (*)(void* context);

// Starts main(context) suspended: the caller resumes it once its record is complete. `stop`
// with `context` tells the thread to end. The handle is the caller's to close; null when the
// thread cannot be made.
HANDLE StartAutomationThread(LPTHREAD_START_ROUTINE main, void* context, AutomationThreadStop stop);

// A thread's last word before it frees its context: no stop reaches the context afterwards.
void AutomationThreadLeaving();

// Tells every automation and watcher thread to end and waits up to `ms` (INFINITE: until they
// have), serving sent messages meanwhile; a thread started during the wait is told too. True
// when none runs any more. No lock may be held.
bool WaitAutomationThreads(DWORD ms);
