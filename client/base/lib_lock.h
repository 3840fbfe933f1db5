// The library's one process-wide lock. It guards the server entries and records, every
// device and storage list, the connect queue, the automation records, the keep-alive receive
// and the address lists. It is a critical section: the owning thread may enter it again.
// Never hold it across SendMessage, a socket wait, a driver call or a sleep.
//
// How code says what it needs of the lock, one way each:
// - A function whose name ends in `Locked` is called with the lock held (a LibraryLock in a
//   caller); nothing else marks it, and its comment does not repeat it.
// - Any other function takes the lock itself where it needs it; one that must run with no
//   lock held at all (it waits on a socket, the driver or another thread) says so in its
//   comment.
// - Data the lock guards carry the comment "// library lock".
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
