// The component runner: the drivers, services and helper programs of an application, listed
// in the component INI, installed or removed in the order the script names.
#pragma once

#include <windows.h>

#include "driver_inf.h"

#include <cstdint>

struct ComponentEntry {
    char name[64];          // names the [DRIVER_<name>], [SERVICE_<name>] or [FILE_<name>] section
    char registryName[64];  // the name the driver's use is counted under, such as "Zkuptp Driver"
    char componentIni[260];
    uint32_t result;        // SetupResult
    uint32_t done;          // 1 when the entry ran without failure
    uint16_t mode;          // ComponentMode
    char programPath[260];  // services and programs, filled by the caller
};

struct ComponentError {
    char name[64];
    uint32_t code;  // non-zero: the run stopped at this entry
};
static_assert(sizeof(ComponentError) == 68);

struct ComponentSet {
    char application[260];  // REGISTKEY: names the use-count sub-key
    char order[260];        // ORDER or UNINST_ORDER
    uint32_t driverCount;
    ComponentEntry* drivers;
    uint32_t serviceCount;
    ComponentEntry* services;
    uint32_t fileCount;
    ComponentEntry* files;
    uint32_t size;
    ComponentError* error;
};
#if defined(_WIN64)
static_assert(sizeof(ComponentSet) == 584);
#endif

constexpr int kRunDrivers = 1;
constexpr int kRunServices = 2;
constexpr int kRunFiles = 4;

// 1 when the run ended (all done, or stopped at the entry named in set->error); 0 for no set.
int RunComponents(HWND window, ComponentSet* set, int kinds);
int ParseComponentEntry(const char* value, char* name, char* registryName, uint16_t* mode);
// Fills the three lists from DRIVER_nn, SERVICE_nn and FILE_nn of [section]; arrays are
// LocalAlloc'ed and freed with FreeComponentLists.
int ReadComponentLists(HWND window, ComponentSet* set, const char* section, const char* iniPath,
                       const char* componentIniPath);
void FreeComponentLists(ComponentSet* set);
uint32_t RunDriverEntry(HWND window, ComponentEntry* entry);
uint32_t RunServiceEntry(HWND window, ComponentEntry* entry);
uint32_t RunServiceUninstallEntry(HWND window, ComponentEntry* entry);
uint32_t RunFileEntry(HWND window, ComponentEntry* entry);
