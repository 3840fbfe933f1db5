// Result codes of the driver, service and component installers, with their fixed texts.
#pragma once

#include <cstddef>
#include <cstdint>

enum SetupResult : uint32_t {
    kSetupSuccess = 0,
    kSetupBadArgument = 1,
    kSetupFileMissing = 2,
    kSetupNotTargetOs = 3,
    kSetupNotAdministrator = 4,
    kSetupRegistryWriteFailed = 5,
    kSetupRegistryReadFailed = 6,
    kSetupOlderInstalled = 7,
    kSetupSameInstalled = 8,
    kSetupNewerInstalled = 9,
    kSetupRestartRequired = 10,
    kSetupInConnection = 11,
    kSetupNotInstalled = 12,
    kSetupInstalled = 13,
    kSetupInstallFailed = 14,
    kSetupRemoveFailed = 15,
    kSetupNoProcess = 16,
    kSetupInstalledStartFailed = 17,
    kSetupRemovedStopFailed = 18,
    kSetupOutOfMemory = 19,
};

// The text of a code ("%d" for unknown codes); 0 when the buffer is null or too small.
int GetResultText(uint32_t code, char* buffer, size_t size);

// A version of three numbers, compared part by part.
struct ThreePartVersion {
    uint32_t first = 0, second = 0, third = 0;
};
ThreePartVersion ParseThreePartVersion(const char* text);
int CompareThreePartVersions(const ThreePartVersion& a, const ThreePartVersion& b);
// 9 when the installed version is newer, 7 when older, 8 when the same.
uint32_t VersionCheckResult(const ThreePartVersion& installed, const ThreePartVersion& offered);
