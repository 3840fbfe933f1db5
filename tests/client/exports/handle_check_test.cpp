// Every export that takes a handle refuses a null one and one that points at memory that is no
// entry of the library, without following the pointer or touching what it points at.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>

#include "device_printers.h"
#include "device_test_support.h"
#include "nas_info.h"
#include "server_entry.h"
#include "usb_device_info.h"

namespace {

struct Handles {
    HWND service;
    HWND requester;
    HPnxSv server;
    HPnxDv device;
};

enum class Checked { Service, Server, Device };

struct GuardedExport {
    const char* name;
    Checked checked;
    std::function<intptr_t(const Handles&)> call;
};

using H = const Handles&;

template <typename T>
intptr_t Result(T value) {
    return (intptr_t)value;
}

const GuardedExport kExports[] = {
    {"PnxUnRegisterNotification", Checked::Service, [](H h) { return Result(PnxUnRegisterNotification(h.service)); }},
    {"PnxDebugMode", Checked::Service, [](H h) { DebugModeInfo i = {}; return Result(PnxDebugMode(h.service, &i)); }},
    {"PnxSetPortAndRuleNumber", Checked::Service,
     [](H h) { return Result(PnxSetPortAndRuleNumber(h.service, 1, 1)); }},
    {"PnxSetSearchFilter", Checked::Service, [](H h) { return Result(PnxSetSearchFilter(h.service, 1, "")); }},
    {"PnxGetServiceProperties", Checked::Service,
     [](H h) { ServiceProperties p = {}; return Result(PnxGetServiceProperties(h.service, &p)); }},
    {"PnxStartService", Checked::Service, [](H h) { return Result(PnxStartService(h.service, nullptr)); }},
    {"PnxEndService", Checked::Service, [](H h) { return Result(PnxEndService(h.service)); }},
    {"PnxSuspendService", Checked::Service, [](H h) { return Result(PnxSuspendService(h.service, 0)); }},
    {"PnxResumeService", Checked::Service, [](H h) { return Result(PnxResumeService(h.service, nullptr)); }},
    {"PnxRenewService", Checked::Service, [](H h) { return Result(PnxRenewService(h.service, 0)); }},
    {"PnxConnectCancel", Checked::Service, [](H h) { return Result(PnxConnectCancel(h.service)); }},
    {"PnxEnumServers", Checked::Service,
     [](H h) { HPnxSv s = nullptr; return Result(PnxEnumServers(h.service, 0, &s)); }},
    {"PnxConnectStart", Checked::Service, [](H h) { return Result(PnxConnectStart(h.service, 1)); }},
    {"PnxConnectStop", Checked::Service, [](H h) { return Result(PnxConnectStop(h.service)); }},
    {"PnxEnumConnect", Checked::Service,
     [](H h) { ConnectEnumItem i = {}; return Result(PnxEnumConnect(h.service, 0, &i)); }},
    {"PnxConvertProperty", Checked::Service,
     [](H h) { uint16_t b = 1; return Result(PnxConvertProperty(h.service, 1, 5, &b, 2)); }},
    {"PnxGetRdpPort", Checked::Service, [](H h) { uint32_t p = 0; return Result(PnxGetRdpPort(h.service, &p)); }},
    {"PnxSetRdpPort", Checked::Service, [](H h) { return Result(PnxSetRdpPort(h.service, 3389)); }},
    {"PnxSetSearchFilterEx", Checked::Service,
     [](H h) { return Result(PnxSetSearchFilterEx(h.service, 1, nullptr)); }},
    {"PnxDetectedServer", Checked::Service,
     [](H h) { uint32_t n = 0; return Result(PnxDetectedServer(h.service, nullptr, &n)); }},
    {"PnxGetBlackoutInfo", Checked::Service,
     [](H h) { BlackoutInfo i = {}; return Result(PnxGetBlackoutInfo(h.service, &i)); }},
    {"PnxSetBlackoutInfo", Checked::Service,
     [](H h) { BlackoutInfo i = {}; return Result(PnxSetBlackoutInfo(h.service, &i)); }},

    {"PnxGetServerInfo", Checked::Server,
     [](H h) { ServerInfo i = {}; return Result(PnxGetServerInfo(h.service, h.server, &i)); }},
    {"PnxEnumUsbDevices", Checked::Server,
     [](H h) { HPnxDv d = nullptr; return Result(PnxEnumUsbDevices(h.service, h.server, 0, &d)); }},
    {"PnxRenewUsbDevices", Checked::Server, [](H h) { return Result(PnxRenewUsbDevices(h.service, h.server, 0)); }},
    {"PnxGetPcAddress", Checked::Server,
     [](H h) { uint32_t a, m, s; return Result(PnxGetPcAddress(h.service, h.server, &a, &m, &s)); }},
    {"PnxEnumNasDevices", Checked::Server,
     [](H h) { HPnxDv d = nullptr; return Result(PnxEnumNasDevices(h.service, h.server, 0, &d)); }},
    {"PnxSetServerOption", Checked::Server, [](H h) { return Result(PnxSetServerOption(h.service, h.server, 1)); }},
    {"PnxGetServerParam", Checked::Server, [](H h) { return Result(PnxGetServerParam(h.service, h.server)); }},
    {"PnxSetServerParam", Checked::Server, [](H h) { return Result(PnxSetServerParam(h.service, h.server, 7)); }},

    {"PnxConnectUsbDevice", Checked::Device,
     [](H h) { return Result(PnxConnectUsbDevice(h.service, h.requester, h.device, 1, 1, nullptr, 0)); }},
    {"PnxDisconnectUsbDevice", Checked::Device,
     [](H h) { return Result(PnxDisconnectUsbDevice(h.service, h.requester, h.device, 1)); }},
    {"PnxSetAutoConnect", Checked::Device, [](H h) { return Result(PnxSetAutoConnect(h.service, h.device, 4)); }},
    {"PnxGetUsbDeviceInfo", Checked::Device,
     [](H h) {
         UsbDeviceInfo i = {};
         PropertyInfo p = {};
         return Result(PnxGetUsbDeviceInfo(h.service, h.device, &i, &p));
     }},
    {"PnxGetHPnxSv", Checked::Device, [](H h) { return Result(PnxGetHPnxSv(h.service, h.device)); }},
    {"PnxSetUsbDeviceInfo", Checked::Device,
     [](H h) { PropertyInfo p = {}; return Result(PnxSetUsbDeviceInfo(h.service, h.device, &p)); }},
    {"PnxGetPrinterInfo", Checked::Device,
     [](H h) {
         uint32_t n = 0, s = 0;
         PrinterInfo* b = nullptr;
         return Result(PnxGetPrinterInfo(h.service, h.device, &n, &b, &s, 0));
     }},
    {"PnxGetComPortInfo", Checked::Device,
     [](H h) { ComPortInfo c = {}; return Result(PnxGetComPortInfo(h.service, h.device, &c)); }},
    {"PnxGetUsbDevicePath", Checked::Device,
     [](H h) { HKEY r = nullptr; char p[MAX_PATH]; return Result(PnxGetUsbDevicePath(h.service, h.device, &r, p)); }},
    {"PnxConnectInterruption", Checked::Device,
     [](H h) { return Result(PnxConnectInterruption(h.service, h.requester, h.device, 1, 1, 0)); }},
    {"PnxDisconnectInterruption", Checked::Device,
     [](H h) { return Result(PnxDisconnectInterruption(h.service, h.requester, h.device, 1, 0)); }},
    {"PnxSafeRemovalDevice", Checked::Device, [](H h) { return Result(PnxSafeRemovalDevice(h.service, h.device)); }},
    {"PnxGetConnectAction", Checked::Device, [](H h) { return Result(PnxGetConnectAction(h.service, h.device)); }},
    {"PnxGetNasInfo", Checked::Device,
     [](H h) { NasInfo i = {}; return Result(PnxGetNasInfo(h.service, h.device, &i)); }},
    {"PnxGetDeviceType", Checked::Device, [](H h) { return Result(PnxGetDeviceType(h.service, h.device)); }},
    {"PnxNasConnectDrive", Checked::Device,
     [](H h) { return Result(PnxNasConnectDrive(h.service, h.requester, h.device)); }},
    {"PnxNasSafeRemove", Checked::Device,
     [](H h) { return Result(PnxNasSafeRemove(h.service, h.requester, h.device)); }},
    {"PnxSetPrinterInfo", Checked::Device,
     [](H h) { return Result(PnxSetPrinterInfo(h.service, h.device, "P\0", 1)); }},
    {"PnxDeleteAutoConnect", Checked::Device,
     [](H h) { return Result(PnxDeleteAutoConnect(h.service, h.device, 4)); }},
    {"PnxEnumDeviceInstanceId", Checked::Device,
     [](H h) { char b[64]; return Result(PnxEnumDeviceInstanceId(h.service, h.device, 0, b, sizeof b)); }},
    {"PnxGetDeviceParam", Checked::Device, [](H h) { return Result(PnxGetDeviceParam(h.service, h.device)); }},
    {"PnxSetDeviceParam", Checked::Device, [](H h) { return Result(PnxSetDeviceParam(h.service, h.device, 7)); }},
};

using HandleChecks = DeviceTest;

TEST_F(HandleChecks, EveryExportRefusesNullAndStaleHandlesWithoutFollowingThem) {
    // A listed device on a listed server, so that the lookups walk real lists.
    ASSERT_NE(Create(Named("Disk")), nullptr);
    // Memory that is no entry: any pointer read from it is far outside the address space.
    alignas(16) unsigned char junk[512];
    std::memset(junk, 0xA5, sizeof junk);
    unsigned char before[sizeof junk];
    std::memcpy(before, junk, sizeof junk);
    auto* staleServer = reinterpret_cast<HPnxSv>(junk);
    auto* staleDevice = reinterpret_cast<HPnxDv>(junk);
    HWND otherWindow = client.get();  // a window, but not the service window

    for (const GuardedExport& e : kExports) {
        SCOPED_TRACE(e.name);
        switch (e.checked) {
        case Checked::Service:
            EXPECT_EQ(e.call({nullptr, client.get(), nullptr, nullptr}), 0);
            EXPECT_EQ(e.call({otherWindow, client.get(), nullptr, nullptr}), 0);
            break;
        case Checked::Server:
            EXPECT_EQ(e.call({service, client.get(), nullptr, nullptr}), 0);
            EXPECT_EQ(e.call({service, client.get(), staleServer, nullptr}), 0);
            break;
        case Checked::Device:
            EXPECT_EQ(e.call({service, client.get(), server, nullptr}), 0);
            EXPECT_EQ(e.call({service, client.get(), server, staleDevice}), 0);
            break;
        }
        EXPECT_EQ(std::memcmp(junk, before, sizeof junk), 0);
    }
    EXPECT_TRUE(IsWindow(service));
}

}  // namespace
