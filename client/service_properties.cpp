#include "service_properties.h"

// The store is not read yet: the defaults stay in force.
bool LoadServiceProperties(const char*) { return false; }

uint32_t RdpPort() { return 3389; }
