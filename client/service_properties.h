// The service properties' store in the settings location.
#pragma once

#include <cstdint>

// Loads CommunicateMode, Timer and UseBroadAddress from the location into the library state,
// writing the current values where they are missing. False for an empty location.
bool LoadServiceProperties(const char* location);

// The remote-desktop port setting (RDPPort).
uint32_t RdpPort();
