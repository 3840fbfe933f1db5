// The client service library as the utility sees it: Pnxscapi.dll beside the program, every
// export bound by its fixed ordinal from the one export table.
#pragma once

#include <windows.h>

#include "../../client/export_table.h"
#include "../../client/pnxscapi.h"
#include "../../client/usb_device_info.h"

struct PnxApi {
    HMODULE module = nullptr;
#define ZOVU_PNX_FIELD(ordinal, name) decltype(&::name) name = nullptr;
    PNX_EXPORTS(ZOVU_PNX_FIELD)
#undef ZOVU_PNX_FIELD
};

// The bound library; every pointer is null until LoadPnxApi succeeded.
extern PnxApi g_pnx;

// Loads Pnxscapi.dll from the program's folder and binds every call by ordinal. FALSE (and
// nothing bound) when the library is missing or lacks one of them.
BOOL LoadPnxApi();
void FreePnxApi();
