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

// The reassembly size of a monitor channel's reply.
constexpr size_t kMonitorReassemblySize = 65536;
