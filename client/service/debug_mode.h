// The debug mode: where the log goes, the log window shown, and the header of a new log.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pnxscapi.h"

int ApplyDebugMode(HWND service, const DebugModeInfo* info);
