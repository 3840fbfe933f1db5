// The last check of the first stage: the old port-monitor product, PRECHECK of the script
// for an installed application, and bus drivers of another product.
#pragma once

#include "setup_context.h"

#include <string>

int CheckInstalledState(HWND frame, SetupContext* context);

// The drivers bits of the setup side and of the PC; the name of a conflict.
constexpr unsigned kDriverZkuptp = 1;
constexpr unsigned kDriverZuzazuv = 2;
constexpr unsigned kDriverZkspe = 4;
constexpr unsigned kDriverZkhidflt = 8;
// True for a conflict; name gets the product that holds the drivers.
bool DriversConflict(unsigned setupBits, unsigned pcBits, const char* lastSubKey, std::string& name);
