// The bus driver package installed and removed for real, through Wine's own driver store. Runs
// only in the throwaway prefix of run_in_driver_prefix.sh (QZ_DRIVER_PREFIX=1).
#include "driver_installer.h"
#include "driver_platform.h"

#include "fake_os_version.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <setupapi.h>

#include <cstdlib>
#include <cstring>

namespace {

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

uint32_t RunBusPackage(uint32_t mode) {
    DriverRequest request{};
    lstrcpyA(request.InfFile, (BesideTheTests("driver_packages\\zkuptp\\zkuptp.inf")).c_str());
    lstrcpyA(request.TargetOS, "NTamd64");
    request.size = sizeof request;
    request.mode = mode;
    uint32_t result = 99;
    ZkSetupDriver(nullptr, &request, &result);
    return result;
}

// Wine's driver store as it is, except for device removal: Wine's class-install parameters call
// is a stub, so the device goes through SetupDiRemoveDevice here, and its driver is stopped as
// Windows unloads a driver whose last device has gone.
class WineRemoval final : public DriverPlatform {
public:
    explicit WineRemoval(DriverPlatform& real) : real_(real) { SetDriverPlatform(this); }
    ~WineRemoval() override { SetDriverPlatform(nullptr); }
    bool DeviceExists(const char* id) override { return real_.DeviceExists(id); }
    bool InstalledDriverVersion(const char* id, std::string& v) override { return real_.InstalledDriverVersion(id, v); }
    DWORD UpdateDriver(HWND w, const char* id, const char* inf, BOOL* r) override { return real_.UpdateDriver(w, id, inf, r); }
    DWORD InstallRootDevice(HWND w, const char* id, const char* inf, BOOL* r, std::string& s) override {
        return real_.InstallRootDevice(w, id, inf, r, s);
    }
    std::vector<ComPortInfo> ListComPorts() override { return real_.ListComPorts(); }
    bool IsDriverConnected(const char* name) override { return real_.IsDriverConnected(name); }
    bool SendDeviceControl(const char* n, DWORD c, const void* i, DWORD b) override {
        return real_.SendDeviceControl(n, c, i, b);
    }
    DWORD RemoveOneDevice(const char* id, bool*) override {
        HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        DWORD result = ERROR_NO_MORE_ITEMS;
        for (DWORD i = 0; result == ERROR_NO_MORE_ITEMS && SetupDiEnumDeviceInfo(set, i, &device); ++i) {
            char ids[1024] = {};
            if (SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr,
                                                  reinterpret_cast<BYTE*>(ids), sizeof ids - 2, nullptr) &&
                lstrcmpiA(ids, id) == 0) {
                result = SetupDiRemoveDevice(set, &device) ? ERROR_SUCCESS : GetLastError();
            }
        }
        SetupDiDestroyDeviceInfoList(set);
        if (result == ERROR_SUCCESS) StopDriver("ZKUPTP");
        return result;
    }
    static void StopDriver(const char* name) {
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

private:
    DriverPlatform& real_;
};

}  // namespace

TEST(RealDriverStore, BusDriverPackageInstallsAndGoes) {
    if (!std::getenv("QZ_DRIVER_PREFIX")) GTEST_SKIP() << "runs in the throwaway driver prefix only";
    std::string sys = System32() + "\\drivers\\zkuptp.sys";
    ASSERT_FALSE(Exists(sys));
    EXPECT_EQ(RunBusPackage(kModeInstalledCheck), 12u);
    uint32_t installed = RunBusPackage(kModeInstall);
    EXPECT_TRUE(installed == 0u || installed == 10u) << installed;
    EXPECT_TRUE(Exists(sys));
    EXPECT_TRUE(ServiceKeyExists("ZKUPTP"));
    EXPECT_EQ(RunBusPackage(kModeInstalledCheck), 13u);

    // Removed as on Windows 10, where the HID filter goes down with the bus driver.
    FakeWindows ten;
    ten.major = 10;
    ten.wide = true;
    FakeOsVersion os(ten);
    WineRemoval removal(Drivers());
    DWORD boot = SERVICE_BOOT_START;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\zkhidflt", "Start", REG_DWORD, &boot,
                    sizeof boot);
    WriteFileText(System32() + "\\drivers\\Zkhidflt.sys", "filter");
    uint32_t removed = RunBusPackage(kModeUninstall);
    EXPECT_TRUE(removed == 0u || removed == 10u) << removed;
    EXPECT_FALSE(Exists(sys));
    EXPECT_FALSE(Exists(System32() + "\\drivers\\Zkhidflt.sys"));
    DWORD start = 0, size = sizeof start;
    RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\zkhidflt", "Start", RRF_RT_DWORD, nullptr,
                 &start, &size);
    EXPECT_EQ(start, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(RunBusPackage(kModeInstalledCheck), 12u);
}
