// The client service library as the utility sees it: Pnxscapi.dll beside the program, its
// exports bound by their fixed ordinals from the one export table.
#pragma once

#include <windows.h>

#include "../../client/export_table.h"
#include "../../client/pnxscapi.h"
#include "../../client/usb_device_info.h"

#define ZOVU_PNX_CALLS(X)                                                                      \
    X(PnxInitialize) X(PnxUninitialize) X(PnxRegisterNotification) X(PnxUnRegisterNotification) \
    X(PnxDebugMode) X(PnxInitBroadcastAddr) X(PnxGetBroadcastAddr) X(PnxSetBroadcastAddr)        \
    X(PnxSetSearchFilter) X(PnxGetServiceProperties) X(PnxStartService) X(PnxEndService)         \
    X(PnxSuspendService) X(PnxResumeService) X(PnxRenewService) X(PnxZkuptpConnection)           \
    X(PnxGetServerInfo) X(PnxEnumServers) X(PnxGetUsbDeviceInfo) X(PnxGetHPnxSv)                 \
    X(PnxEnumUsbDevices) X(PnxInitUsbDeviceInfo) X(PnxFreeUsbDeviceInfo)                         \
    X(PnxGetDefaultPropertyInfo) X(PnxSetDefaultPropertyInfo) X(PnxGetZkuptpDriverVersion)       \
    X(PnxConvertProperty) X(PnxGetConnectAction) X(PnxDefaultNasName) X(PnxGetDeviceType)

struct PnxApi {
    HMODULE module = nullptr;
#define ZOVU_PNX_FIELD(name) decltype(&::name) name = nullptr;
    ZOVU_PNX_CALLS(ZOVU_PNX_FIELD)
#undef ZOVU_PNX_FIELD
};

// The bound library; every pointer is null until LoadPnxApi succeeded.
extern PnxApi g_pnx;

// Loads Pnxscapi.dll from the program's folder and binds every call by ordinal. FALSE (and
// nothing bound) when the library is missing or lacks one of them.
BOOL LoadPnxApi();
void FreePnxApi();
