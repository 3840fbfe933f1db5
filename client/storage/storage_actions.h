// The phases of a queued storage request on the connect-queue worker: Start, Permit, the
// storage action (map and open the share, or have the server release the storage safely),
// Result and End.
#pragma once

#include <windows.h>

#include <cstdint>

struct ConnectRequest;

void RunStorageRequest(const ConnectRequest& request);

// How long a safe removal waits for the server to unmount the storage's shares; tests shorten
// it.
inline DWORD g_nasUnmountWaitMs = 30000;
constexpr DWORD kNasRemoveTimeoutMs = 20000;   // one try of the removal command
constexpr DWORD kNasUnmountPollMs = 100;
