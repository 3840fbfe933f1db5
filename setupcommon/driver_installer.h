// Checks, installs and removes the suite's kernel drivers from their INF packages.
#pragma once

#include <windows.h>

#include "driver_inf.h"

// 1 when the run ended at a check (OS, installed check, version check, driver in use), else 0;
// *result holds the SetupResult.
int ZkSetupDriver(HWND window, const DriverRequest* request, uint32_t* result);
// Port names and friendly names of the present COM ports, each a copy the caller frees with
// LocalFree; at most max; the count.
int EnumComPorts(char** portNames, char** friendlyNames, int max);
int IsDriverConnected(const char* name);
int FileExists(const char* path);
