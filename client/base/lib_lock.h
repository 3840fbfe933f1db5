// The library's one process-wide lock. It guards the server entries and records, every
// device and storage list, the connect queue, the automation records, the keep-alive receive
// and the address lists. It is a critical section: the owning thread may enter it again.
// Never hold it across SendMessage, a socket wait, a driver call or a sleep.
#pragma once

void InitLibraryLock();
void DeleteLibraryLock();
void LockLibrary();
void UnlockLibrary();

// Holds the process-wide lock for the lifetime of the guard.
class LibraryLock {
public:
    LibraryLock() { LockLibrary(); }
    ~LibraryLock() { UnlockLibrary(); }
    LibraryLock(const LibraryLock&) = delete;
    LibraryLock& operator=(const LibraryLock&) = delete;
};
