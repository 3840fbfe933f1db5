// Network drives for storage shares: what is connected or mapped, which drive letters are
// taken, mapping a share to a letter, and opening the drive. Windows' network provider and
// shell are reached only through NetDriveApi, so that tests can put a fake in its place.
#pragma once

#include <windows.h>

#include <string>

struct NetDriveApi {
    bool (*remoteConnected)(const std::wstring& remote);    // any connected resource of that name
    wchar_t (*mappedLetter)(const std::wstring& remote);    // a drive letter mapped to it, or 0
    bool (*letterTaken)(wchar_t letter);                    // assigned now, or remembered
    DWORD (*addConnection)(const std::wstring& remote, wchar_t letter);
    void (*driveAdded)(wchar_t letter);                     // tell the system and the shell
    void (*explore)(wchar_t letter);                        // open it in the file explorer
};

// The calls in use (Windows' own unless a test replaced them).
NetDriveApi& NetDrives();
// Windows' own calls.
const NetDriveApi& WindowsNetDrives();

// Maps `remote` ("\\server\share") to the highest free letter from Z: down to C: and opens it.
// ERROR_SUCCESS when it is mapped now or was connected or mapped already (then nothing is
// opened); the provider's error, or ERROR_NO_MORE_ITEMS when no letter is left.
DWORD ConnectShare(const std::wstring& remote, wchar_t* letter);
