// Driver packages: the request record and what the installer reads from a driver's INF.
#pragma once

#include <windows.h>

#include "setup_result.h"

#include <cstddef>
#include <cstdint>
#include <string>

#pragma pack(push, 1)
struct DriverRequest {
    char InfFile[260];
    char PackageFile[260];  // difxapi.dll for this OS, may be empty
    uint32_t mode;          // ComponentMode; only the low byte counts
    uint32_t size;          // greater than 0; the builder sets 560
    char TargetOS[32];      // models-section decoration such as "NTamd64", may be empty
};
#pragma pack(pop)
static_assert(sizeof(DriverRequest) == 560);
static_assert(offsetof(DriverRequest, mode) == 520 && offsetof(DriverRequest, TargetOS) == 528);

// One driver file of a package.
struct SysFileEntry {
    char subFolder[260];
    char sysPath[260];  // the file name, then its full path beside the INF, for removal the installed path
    char serviceName[260];
};

// What a driver, service or program entry is to do (the mode word of a component list).
enum ComponentMode : uint16_t {
    kModeNone = 0,
    kModeInstall = 1,
    kModeUninstall = 2,
    kModeVersionCheck = 3,
    kModeInstalledCheck = 4,
    kModeStop = 5,
};

// Lines of [SourceDisksFiles]; 0 for a missing section or an INF that does not open.
int CountSourceDiskFiles(const char* inf);
// Class, hardware id, and for each entry its service and file with its path beside the INF.
bool ParseDriverInf(int osCode, uint32_t osFlags, const char* inf, const char* decoration, std::string& className,
                    std::string& hardwareId, SysFileEntry* entries, int count);
// The second field of [Version] DriverVer; false when it cannot be read.
bool ReadInfDriverVersion(const char* inf, ThreePartVersion& version);
// The class and the hardware id of the first model of an INF, from the models section with
// the decoration when there is one, else the undecorated one.
bool ReadInfClassAndHardwareId(const char* inf, const char* decoration, std::string& className,
                               std::string& hardwareId);
