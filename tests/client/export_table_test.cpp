// Every export of Pnxscapi.dll resolves by its ordinal to the same function as by its name:
// the utility binds by ordinal.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "lib_test_support.h"

namespace {

struct ExportEntry {
    int ordinal;
    const char* name;
};

// The one list of ordinals and names the library must keep.
constexpr ExportEntry kExports[] = {
    {1, "PnxInitialize"},
    {2, "PnxUninitialize"},
    {3, "PnxRegisterNotification"},
    {4, "PnxUnRegisterNotification"},
    {5, "PnxDebugMode"},
    {6, "PnxInitBroadcastAddr"},
    {7, "PnxGetBroadcastAddr"},
    {8, "PnxSetBroadcastAddr"},
    {9, "PnxSetPortAndRuleNumber"},
    {10, "PnxSetSearchFilter"},
    {11, "PnxGetServiceProperties"},
    {12, "PnxStartService"},
    {13, "PnxEndService"},
    {14, "PnxSuspendService"},
    {15, "PnxResumeService"},
    {16, "PnxRenewService"},
    {20, "PnxZkuptpConnection"},
    {22, "PnxGetServerInfo"},
    {23, "PnxEnumServers"},
    {25, "PnxGetHPnxSv"},
    {35, "PnxGetZkuptpDriverVersion"},
    {36, "PnxConvertOldUsbData"},
    {45, "PnxConvertProperty"},
    {37, "PnxRenewUsbDevices"},
    {48, "PnxGetPcAddress"},
    {59, "PnxGetOwnershipInterface"},
    {60, "PnxSetOwnershipInterface"},
    {61, "PnxGetOwnershipReleaseTime"},
    {62, "PnxSetOwnershipReleaseTime"},
    {63, "PnxSetBroadcastAddrMemory"},
    {64, "PnxRegisterSpecialNotification"},
    {65, "PnxSetFilteringHIDevice"},
    {66, "PnxGetRdpPort"},
    {67, "PnxSetRdpPort"},
    {68, "PnxSetSearchFilterEx"},
    {69, "PnxDetectedServer"},
    {73, "PnxSetSearchFilterRefresh"},
    {74, "PnxGetBlackoutInfo"},
    {75, "PnxSetBlackoutInfo"},
    {76, "PnxSetServerOption"},
    {78, "PnxGetServerParam"},
    {79, "PnxSetServerParam"},
    {80, "PnxSetDeviceListPacket"},
    {24, "PnxGetUsbDeviceInfo"},
    {26, "PnxSetUsbDeviceInfo"},
    {27, "PnxEnumUsbDevices"},
    {28, "PnxInitUsbDeviceInfo"},
    {29, "PnxFreeUsbDeviceInfo"},
    {30, "PnxGetDefaultPropertyInfo"},
    {31, "PnxSetDefaultPropertyInfo"},
    {32, "PnxGetHPnxDv"},
    {38, "PnxGetComPortInfo"},
    {39, "PnxGetUsbDevicePath"},
    {49, "PnxGetConnectAction"},
    {70, "PnxGetDefaultPropertyInfoEx"},
    {71, "PnxSetDefaultPropertyInfoEx"},
    {81, "PnxEnumDeviceInstanceId"},
    {82, "PnxGetDeviceParam"},
    {83, "PnxSetDeviceParam"},
};

TEST(ExportTable, EveryOrdinalResolvesToItsNamedFunction) {
    std::string path = ProgramDirectory() + "Pnxscapi.dll";
    HMODULE library = LoadLibraryA(path.c_str());
    ASSERT_NE(library, nullptr) << path;
    for (const ExportEntry& e : kExports) {
        FARPROC byName = GetProcAddress(library, e.name);
        FARPROC byOrdinal = GetProcAddress(library, MAKEINTRESOURCEA(e.ordinal));
        EXPECT_NE(byName, nullptr) << e.name;
        EXPECT_EQ(byOrdinal, byName) << e.name << " @" << e.ordinal;
    }
    FreeLibrary(library);
}

}  // namespace
