// The installed .NET Framework releases, read from the registry.
#pragma once

#include <windows.h>

#include <cstdint>

#pragma pack(push, 1)
struct DotNetRelease {
    uint16_t major;
    uint16_t minor;
    uint32_t third;  // 4.5 entry only: 1 for 4.5.1, 2 for 4.5.2
    uint32_t servicePack;
    uint32_t installed;
};
#pragma pack(pop)
static_assert(sizeof(DotNetRelease) == 16);
static_assert(offsetof(DotNetRelease, third) == 4 && offsetof(DotNetRelease, installed) == 12);

constexpr int kDotNetReleaseCount = 7;

// 1.0, 1.1, 2.0, 3.0, 3.5, 4.0, 4.5 in that order, freed with LocalFree; null when count is null.
DotNetRelease* GetDotNetVersion(int* count);
