#include "lib_state.h"

#include <cstring>

LibState g_lib;

void ResetServiceProperties() {
    g_lib.properties.communicateMode = kDefaultCommunicateMode;
    g_lib.properties.timer = kDefaultTimer;
    g_lib.properties.useBroadAddress = kDefaultUseBroadAddress;
    g_lib.properties.size = sizeof(ServiceProperties);
}

void ResetLibStateForTests() {
    g_lib.clientWindow = nullptr;
    g_lib.serviceWindow = nullptr;
    std::memset(g_lib.driverName, 0, sizeof g_lib.driverName);  // none stored until registration
    std::memset(g_lib.location, 0, sizeof g_lib.location);
    g_lib.options = 0;
    ResetServiceProperties();
    g_lib.autoSearchTimerRunning = false;
    g_lib.autoSearchOn = false;
    g_lib.searchRunning = false;
    g_lib.renewAllRunning = false;
    g_lib.serviceStarted = false;
    g_lib.requesterWindow = nullptr;
    g_lib.specialNotification = 0;
}
