// The utility's command-line switches: -d (log), -e (MAC filter), -i (address filter),
// -m (show the main dialog), -p (show the library's service window), -s (start delay).
#pragma once

#include <windows.h>

#include <cstdint>

#include "utility_log.h"

constexpr size_t kFilterSlotBytes = 18;   // 17 characters and a terminating zero
constexpr size_t kFilterBlockBytes = 128;
// Seven slots fit the block; the slot after the last entry stays zero as the list's end.
constexpr size_t kFilterMaxEntries = kFilterBlockBytes / kFilterSlotBytes;

struct CommandLineOptions {
    bool filterInUse = false;
    bool hasFilterAddress = false;
    uint32_t filterAddress = 0;  // inet_addr of the -i text (network byte order)
    char macBlock[kFilterBlockBytes] = {};
    size_t macCount = 0;
    bool showMainDialog = false;     // -m
    bool showServiceWindow = false;  // -p
    uint32_t startDelaySeconds = 0;  // -s
    LogOptions log;
};

// Scans the narrow command line for "-" switches (either case); after each switch the scan
// goes on at the next " -". An eighth -e is ignored, so the block keeps a zero end slot.
void ParseCommandLine(const char* commandLine, CommandLineOptions* options);
