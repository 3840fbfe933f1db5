// The Windows version-installation service and the replace-at-restart move, behind a thin
// interface: the system's version passes each call straight through, tests give their own.
#pragma once

#include <windows.h>

class VersionInstallService {
public:
    virtual ~VersionInstallService() = default;
    virtual DWORD FindFile(const char* fileName, const char* windowsFolder, const char* appFolder, char* current,
                           UINT* currentLength, char* destination, UINT* destinationLength) = 0;
    virtual DWORD InstallFile(DWORD flags, const char* sourceName, const char* destinationName,
                              const char* sourceFolder, const char* destinationFolder, const char* currentFolder,
                              char* tempFile, UINT* tempLength) = 0;
    // Replaces `to` by `from` at the next restart.
    virtual BOOL MoveAtRestart(const char* from, const char* to) = 0;
};

VersionInstallService& VersionInstaller();
void SetVersionInstaller(VersionInstallService* service);  // null: the system
