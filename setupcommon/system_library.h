// DLL loading of the install tools, which run elevated and may start from a folder that the
// user can write: the DLL search is limited to System32, and system libraries are loaded by
// their full path there. The suite's own libraries are loaded by full path by their callers.
#pragma once

#include <windows.h>

// Limits the search of every later load (delay imports included) to System32 and takes the
// current folder out of it. The first call of WinMain.
void RestrictDllSearch();
// The system library of that file name from System32, null when it is not there.
HMODULE LoadSystemLibrary(const char* name);
