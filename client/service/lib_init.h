// Loading and unloading of the library and its one-time initialisation.
#pragma once

#include <windows.h>

// Process attach: keeps the module instance, creates the library lock and initialises once.
void LibraryAttach(HINSTANCE instance);
// Process detach by FreeLibrary: undoes the initialisation and deletes the lock.
void LibraryDetach();

// The one-time initialisation and its undo (the bodies of PnxInitialize and PnxUninitialize).
// Both return 1; each does nothing when the library is already in the state asked for.
int OneTimeInitialize();
// Sends the helper service's clear record when loading the library left it due.
void SendDueHelperClear();
int OneTimeUninitialize();

// Stops every library thread (the connect worker, the automation threads) and waits until
// each has ended, then logs that they did; false when some still run after the wait.
// No lock may be held.
bool EndLibraryThreads(HWND log);
constexpr DWORD kThreadEndWaitMs = 60000;

// The reassembly size of a monitor channel's reply.
constexpr size_t kMonitorReassemblySize = 65536;
