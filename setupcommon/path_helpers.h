// Paths of the install tools: 8-bit texts of at most 260 bytes.
#pragma once

#include <windows.h>

#include <string>

// The running program's folder, without a trailing backslash.
int GetModuleFolder(char* buffer);
// Joins path and part with one backslash; the new length, or -1 (path unchanged) when the
// two do not fit in size - 2.
int AppendPath(char* path, size_t size, const char* part);
// Joins a folder and a path read from a script, which must stay below that folder: false (out
// unchanged) when the part is absolute (a drive, a stream, a UNC or rooted path; one leading
// backslash is allowed, as AppendPath drops it), climbs with "..", or the whole does not fit
// in MAX_PATH.
bool JoinBelowFolder(const std::string& folder, const std::string& part, std::string& out);
int GetTempFolder(size_t size, char* buffer);
int GetWindowsFolder(char* buffer, size_t size);
// Creates every folder of path; each folder really created is recorded in the numbered list
// section + "_%03d" of iniPath when both are given. 0 with *error set on a failure.
int CreateFolderPath(const char* section, const char* path, DWORD* error, const char* iniPath);

// Wide form of an OEM text and back, for splitting paths at backslashes without taking the
// second byte of a double-byte character for one.
std::wstring OemToWide(const char* text);
std::string WideToOem(const std::wstring& text);
