// The exported functions of Pnxscapi.dll with their fixed ordinals: the one list that the
// module definition file is made from (cmake/make_def.cmake) and that the export test, the
// harness and the utility bind by. Ordinals 47 and 77 are unassigned.
#pragma once

#define PNX_EXPORTS(X) \
    X(1, PnxInitialize) \
    X(2, PnxUninitialize) \
    X(3, PnxRegisterNotification) \
    X(4, PnxUnRegisterNotification) \
    X(5, PnxDebugMode) \
    X(6, PnxInitBroadcastAddr) \
    X(7, PnxGetBroadcastAddr) \
    X(8, PnxSetBroadcastAddr) \
    X(9, PnxSetPortAndRuleNumber) \
    X(10, PnxSetSearchFilter) \
    X(11, PnxGetServiceProperties) \
    X(12, PnxStartService) \
    X(13, PnxEndService) \
    X(14, PnxSuspendService) \
    X(15, PnxResumeService) \
    X(16, PnxRenewService) \
    X(17, PnxConnectUsbDevice) \
    X(18, PnxDisconnectUsbDevice) \
    X(19, PnxConnectCancel) \
    X(20, PnxZkuptpConnection) \
    X(21, PnxSetAutoConnect) \
    X(22, PnxGetServerInfo) \
    X(23, PnxEnumServers) \
    X(24, PnxGetUsbDeviceInfo) \
    X(25, PnxGetHPnxSv) \
    X(26, PnxSetUsbDeviceInfo) \
    X(27, PnxEnumUsbDevices) \
    X(28, PnxInitUsbDeviceInfo) \
    X(29, PnxFreeUsbDeviceInfo) \
    X(30, PnxGetDefaultPropertyInfo) \
    X(31, PnxSetDefaultPropertyInfo) \
    X(32, PnxGetHPnxDv) \
    X(33, PnxGetPrinterInfo) \
    X(34, PnxFreePrinterInfo) \
    X(35, PnxGetZkuptpDriverVersion) \
    X(36, PnxConvertOldUsbData) \
    X(37, PnxRenewUsbDevices) \
    X(38, PnxGetComPortInfo) \
    X(39, PnxGetUsbDevicePath) \
    X(40, PnxConnectStart) \
    X(41, PnxConnectStop) \
    X(42, PnxEnumConnect) \
    X(43, PnxConnectInterruption) \
    X(44, PnxDisconnectInterruption) \
    X(45, PnxConvertProperty) \
    X(46, PnxSafeRemovalDevice) \
    X(48, PnxGetPcAddress) \
    X(49, PnxGetConnectAction) \
    X(50, PnxGetNasInfo) \
    X(51, PnxInitNasInfo) \
    X(52, PnxFreeNasInfo) \
    X(53, PnxGetDeviceType) \
    X(54, PnxEnumNasDevices) \
    X(55, PnxNasConnectDrive) \
    X(56, PnxNasSafeRemove) \
    X(57, PnxDefaultNasName) \
    X(58, PnxSetPrinterInfo) \
    X(59, PnxGetOwnershipInterface) \
    X(60, PnxSetOwnershipInterface) \
    X(61, PnxGetOwnershipReleaseTime) \
    X(62, PnxSetOwnershipReleaseTime) \
    X(63, PnxSetBroadcastAddrMemory) \
    X(64, PnxRegisterSpecialNotification) \
    X(65, PnxSetFilteringHIDevice) \
    X(66, PnxGetRdpPort) \
    X(67, PnxSetRdpPort) \
    X(68, PnxSetSearchFilterEx) \
    X(69, PnxDetectedServer) \
    X(70, PnxGetDefaultPropertyInfoEx) \
    X(71, PnxSetDefaultPropertyInfoEx) \
    X(72, PnxDeleteAutoConnect) \
    X(73, PnxSetSearchFilterRefresh) \
    X(74, PnxGetBlackoutInfo) \
    X(75, PnxSetBlackoutInfo) \
    X(76, PnxSetServerOption) \
    X(78, PnxGetServerParam) \
    X(79, PnxSetServerParam) \
    X(80, PnxSetDeviceListPacket) \
    X(81, PnxEnumDeviceInstanceId) \
    X(82, PnxGetDeviceParam) \
    X(83, PnxSetDeviceParam)

// kOrdPnxInitialize = 1, ...
enum PnxOrdinal : int {
#define PNX_ORDINAL(ordinal, name) kOrd##name = ordinal,
    PNX_EXPORTS(PNX_ORDINAL)
#undef PNX_ORDINAL
};

struct PnxExport {
    int ordinal;
    const char* name;
};

inline constexpr PnxExport kPnxExports[] = {
#define PNX_EXPORT_ROW(ordinal, name) {ordinal, #name},
    PNX_EXPORTS(PNX_EXPORT_ROW)
#undef PNX_EXPORT_ROW
};
