#include "bus_driver.h"

#include <windows.h>

#include <cstdio>

#include "lib_state.h"

bool OpenBusDriver(const char* name) {
    char path[64];
    if (!name || !*name) name = kDefaultDriverName;
    int n = std::snprintf(path, sizeof path, "\\\\.\\%s", name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
        g_lib.busDriver.reset();
        return false;
    }
    g_lib.busDriver.reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    return g_lib.busDriver.valid();
}

void CloseBusDriver() { g_lib.busDriver.reset(); }
