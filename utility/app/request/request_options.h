// The per-device request options: whether the holder counts down before it releases the
// device, and for how long. Kept in the device's own registry key of the library's store.
#pragma once

#include <windows.h>

#include <cstdint>

#include "../../../client/pnxscapi.h"

constexpr uint16_t kRequestOptionCountdown = 0x0001;

struct RequestOptions {
    uint16_t flags = 0;
    uint32_t seconds = 180;
};

// Both values are taken only when "RequestTimer" is present and not 0; otherwise the
// defaults stand (and 1 is still returned). 0 for a null argument or an unknown key.
BOOL LoadRequestOptions(HPnxDv device, RequestOptions* options);
BOOL SaveRequestOptions(HPnxDv device, const RequestOptions* options);
