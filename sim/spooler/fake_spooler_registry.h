// Where the stand-in spooler keeps its printers, shared by the stand-in winspool.drv that reads
// them and the test programs that script them.
//
// HKCU\Software\QzFakeSpooler\<set>: the set is named by the environment variable
// QZ_FAKE_SPOOLER of the process that loads the stand-in, so that parallel tests never meet.
// One subkey per printer (its name): "Driver" and "Port" (strings) and "JobBytes" (DWORD: the
// size of its one job; 0 or absent, no job).
#pragma once

#include <windows.h>

#include <string>

namespace fakespool {

inline constexpr char kRootPath[] = "Software\\QzFakeSpooler";
inline constexpr char kSetVariable[] = "QZ_FAKE_SPOOLER";
inline constexpr char kDriver[] = "Driver";
inline constexpr char kPort[] = "Port";
inline constexpr char kJobBytes[] = "JobBytes";

// The key path of this process's set ("default" when the variable is not set).
inline std::string SetPath() {
    char set[128] = {};
    DWORD n = GetEnvironmentVariableA(kSetVariable, set, sizeof set);
    std::string name = n && n < sizeof set ? std::string(set, n) : std::string("default");
    return std::string(kRootPath) + "\\" + name;
}

}  // namespace fakespool
