// Conversion of settings of older releases: the old device records and a settings word.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pnxscapi.h"

int ConvertOldData(HWND ignored, const char* location, uint16_t deleteOld);
int ConvertPropertyBits(HWND service, uint16_t mode, uint16_t type, const uint16_t* bits, uint32_t size);
