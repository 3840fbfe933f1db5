#include "lib_lock.h"

#include <windows.h>

namespace {
CRITICAL_SECTION g_libraryLock;
bool g_lockReady = false;
}  // namespace

void InitLibraryLock() {
    if (g_lockReady) return;
    InitializeCriticalSection(&g_libraryLock);
    g_lockReady = true;
}

void DeleteLibraryLock() {
    if (!g_lockReady) return;
    DeleteCriticalSection(&g_libraryLock);
    g_lockReady = false;
}

void LockLibrary() {
    if (g_lockReady) EnterCriticalSection(&g_libraryLock);
}

void UnlockLibrary() {
    if (g_lockReady) LeaveCriticalSection(&g_libraryLock);
}
