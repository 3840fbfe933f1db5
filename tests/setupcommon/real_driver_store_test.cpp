// The suite's bus and COM port driver packages installed and removed for real, through Wine's own
// driver store and the simulated bus driver. Runs only in the throwaway prefix of
// run_in_driver_prefix.sh (QZ_DRIVER_PREFIX=1).
#include "driver_use_count.h"
#include "driver_installer.h"
#include "driver_platform.h"
#include "setup_log.h"

#include "fake_os_version.h"
#include "scratch.h"
#include "sim_bus_client.h"

#include <gtest/gtest.h>

#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kServer = 0x0A4D0032;  // 10.77.0.50
constexpr char kComNode[] = "System\\CurrentControlSet\\Enum\\ZKUPTP\\ZKSPE\\QZ_COM7";

std::string System32() {
    char path[MAX_PATH];
    GetSystemDirectoryA(path, sizeof path);
    return path;
}

bool ServiceKeyExists(const char* name) {
    HKEY key;
    std::string path = std::string("System\\CurrentControlSet\\Services\\") + name;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

uint32_t RunPackage(const char* package, uint32_t mode) {
    DriverRequest request{};
    lstrcpyA(request.InfFile, BesideTheTests(package).c_str());
    lstrcpyA(request.TargetOS, "NTamd64");
    request.size = sizeof request;
    request.mode = mode;
    uint32_t result = 99;
    ZkSetupDriver(nullptr, &request, &result);
    return result;
}

constexpr char kBus[] = "driver_packages\\zkuptp\\zkuptp.inf";
constexpr char kComPort[] = "driver_packages\\zkspe\\zkspe.inf";

void StopDriver(const char* name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (service && ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        for (int i = 0; i < 100 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED;
             ++i) {
            Sleep(50);
        }
    }
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// Wine's driver store as it is but for what Wine lacks: it does not unload a driver whose last
// device has gone, as Windows does, so the driver's file would stay in use.
class WineRemoval final : public SystemDriverPlatform {
public:
    WineRemoval() { SetDriverPlatform(this); }
    ~WineRemoval() override { SetDriverPlatform(nullptr); }
    DWORD RemoveOneDevice(const char* id, bool* reboot, DWORD* paramsError) override {
        DWORD result = SystemDriverPlatform::RemoveOneDevice(id, reboot, paramsError);
        if (result == ERROR_SUCCESS) StopDriver("ZKUPTP");
        return result;
    }
};

// A driver store that refuses the class-install parameters of a removal, as Windows may.
class RefusedRemoveParams final : public SystemDriverPlatform {
public:
    RefusedRemoveParams() { SetDriverPlatform(this); }
    ~RefusedRemoveParams() override { SetDriverPlatform(nullptr); }

protected:
    BOOL SetRemoveParams(HDEVINFO, SP_DEVINFO_DATA*, SP_REMOVEDEVICE_PARAMS*) override {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
};

// A COM port of the COM port driver as the device tree holds one once a serial device is connected.
void WriteComPortNode() {
    HKEY node;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kComNode, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &node, nullptr),
              ERROR_SUCCESS);
    auto text = [&](HKEY key, const char* name, const std::string& value, DWORD type = REG_SZ) {
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>(value.size() + 1));
    };
    text(node, "ClassGUID", "{4d36e978-e325-11ce-bfc1-08002be10318}");
    text(node, "Class", "Ports");
    text(node, "FriendlyName", "Zkspe Driver (COM7)");
    text(node, "HardwareID", std::string("ZKUPTP\\ZKSPE") + '\0', REG_MULTI_SZ);
    HKEY parameters;
    RegCreateKeyExA(node, "Device Parameters", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parameters, nullptr);
    text(parameters, "PortName", "COM7");
    RegCloseKey(parameters);
    RegCloseKey(node);
}

}  // namespace

TEST(RealDriverStore, BusAndComPortPackagesInstallAndGo) {
    if (!std::getenv("QZ_DRIVER_PREFIX")) GTEST_SKIP() << "runs in the throwaway driver prefix only";
    ScratchFolder dir("real_drivers");
    SetLogFile((dir / "Setup.txt").c_str());
    LogFlags = kLogStepFile;
    std::string sys = System32() + "\\drivers\\zkuptp.sys";
    std::string comSys = System32() + "\\drivers\\zkspe.sys";
    ASSERT_FALSE(Exists(sys));
    EXPECT_EQ(RunPackage(kBus, kModeInstalledCheck), 12u);
    uint32_t installed = RunPackage(kBus, kModeInstall);
    EXPECT_TRUE(installed == 0u || installed == 10u) << installed;
    EXPECT_TRUE(Exists(sys));
    EXPECT_TRUE(ServiceKeyExists("ZKUPTP"));
    EXPECT_EQ(RunPackage(kBus, kModeInstalledCheck), 13u);

    // The bus driver now runs; while it holds a device the COM port driver is left alone.
    zksim::SimBusClient bus;
    ASSERT_TRUE(bus.ok());
    ASSERT_TRUE(bus.Attach(kServer, "1-1", L"USB\\VID_0FE1&PID_0001"));
    EXPECT_EQ(IsDriverConnected("zkuptp"), 1);
    EXPECT_EQ(RunPackage(kComPort, kModeInstall), 11u);
    EXPECT_FALSE(Exists(comSys));
    ASSERT_TRUE(bus.Detach(kServer, "1-1"));
    EXPECT_EQ(IsDriverConnected("zkuptp"), 0);
    EXPECT_EQ(RunPackage(kComPort, kModeInstall), 0u);  // staged: its device comes with a serial device
    EXPECT_TRUE(Exists(comSys));

    // The COM ports of the driver as the COM clear request lists them, and the request itself.
    WriteComPortNode();
    char* ports[8] = {};
    char* names[8] = {};
    int count = EnumComPorts(ports, names, 8);
    bool listed = false;
    for (int i = 0; i < count; ++i) {
        listed = listed || (std::strcmp(ports[i], "COM7") == 0 && std::strcmp(names[i], "Zkspe Driver (COM7)") == 0);
        LocalFree(ports[i]);
        LocalFree(names[i]);
    }
    EXPECT_TRUE(listed) << count;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kComNode);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kComNode);
    uint32_t first = bus.NextSequence();
    EXPECT_EQ(Zkuptp_AllClearComInfo(), 1);
    std::vector<zksim::LoggedCall> calls = bus.Log(first);
    auto clear = std::find_if(calls.begin(), calls.end(), [](const zksim::LoggedCall& c) { return c.code == 0x806021C4u; });
    ASSERT_NE(clear, calls.end());
    EXPECT_EQ(clear->input, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xFF, 0}));
    EXPECT_EQ(RunPackage(kComPort, kModeUninstall), 0u);
    EXPECT_FALSE(Exists(comSys));

    // Where the class-install parameters cannot be set the device stays, and so does the driver.
    {
        RefusedRemoveParams refused;
        EXPECT_EQ(RunPackage(kBus, kModeUninstall), 15u);
    }
    EXPECT_NE(ReadFileText(dir / "Setup.txt").find("    --> Error1 (0x00000057)"), std::string::npos);
    EXPECT_EQ(RunPackage(kBus, kModeInstalledCheck), 13u);
    EXPECT_TRUE(Exists(sys));

    // Removed as on Windows 10, where the HID filter goes down with the bus driver.
    FakeWindows ten;
    ten.major = 10;
    ten.wide = true;
    FakeOsVersion os(ten);
    WineRemoval removal;
    DWORD boot = SERVICE_BOOT_START;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\zkhidflt", "Start", REG_DWORD, &boot,
                    sizeof boot);
    WriteFileText(System32() + "\\drivers\\Zkhidflt.sys", "filter");
    uint32_t removed = RunPackage(kBus, kModeUninstall);
    EXPECT_TRUE(removed == 0u || removed == 10u) << removed;
    EXPECT_FALSE(Exists(sys));
    EXPECT_FALSE(Exists(System32() + "\\drivers\\Zkhidflt.sys"));
    DWORD start = 0, size = sizeof start;
    RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\zkhidflt", "Start", RRF_RT_DWORD, nullptr,
                 &start, &size);
    EXPECT_EQ(start, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(RunPackage(kBus, kModeInstalledCheck), 12u);
    ResetLogSettings();
}
