// Installs, checks and removes the suite's own-process, automatic-start services.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// 1 when the run ended normally (checks included), 0 on an error; *result is the SetupResult.
int ZkServiceInstall(const char* name, const char* programPath, const char* description,
                     const char* commandLineTail, const char* dependencies, DWORD dependenciesLength, uint32_t mode,
                     uint32_t* result);
int ZkServiceUninstall(const char* name, uint32_t* result);
// A service of any type and state with that name (any case).
int IsServiceInstalled(const char* name);
// The program file's "FileVersion" (or "0.0.0.0") and, when installed, the recorded one.
int GetServiceVersions(const char* name, const char* programPath, BOOL installed, char* installedVersion,
                       char* newVersion, char* versionText, size_t size);
int SetServiceProductVersion(const char* name, const char* text);
int CreateAndStartService(const char* name, const char* programPath, const char* description,
                          const char* commandLineTail, const char* dependencies, DWORD dependenciesLength);
int StopAndDeleteService(const char* name);

// Longest wait for a service to leave start-pending or stop-pending.
constexpr DWORD kServicePendingLimitMs = 30000;
