/* Entry of the resource-only stand-in driver file; it is never run, only read. */
#include <windows.h>

BOOL WINAPI ZkuptpVersionEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
