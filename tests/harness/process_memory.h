// The memory of the calling process as Windows accounts it, for the benchmark programs:
// GetProcessMemoryInfo's private usage, working set and pagefile usage, and the committed
// private regions of the address space summed with VirtualQuery (what Windows calls private
// bytes). Under Wine the first three come from the Unix process (PrivateUsage and
// PagefileUsage are its resident anonymous memory plus swap), the last from Wine's own map of
// the address space.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdint>

struct ProcessMemory {
    uint64_t privateUsage = 0;
    uint64_t workingSet = 0;
    uint64_t pagefile = 0;
    uint64_t committedPrivate = 0;
};

inline ProcessMemory MeasureProcessMemory() {
    ProcessMemory memory;
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
        memory.privateUsage = counters.PrivateUsage;
        memory.workingSet = counters.WorkingSetSize;
        memory.pagefile = counters.PagefileUsage;
    }
    MEMORY_BASIC_INFORMATION info = {};
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) memory.committedPrivate += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return memory;
}
