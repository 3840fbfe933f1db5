#include "driver_use_count.h"

#include "driver_installer.h"
#include "driver_platform.h"
#include "setup_log.h"

#include <win_handles.h>

#include <string>

int BusDriverRemovable = 1;

namespace {

const char kTopKey[] = "Software\\Zkuptp Driver";
constexpr int kComClearRounds = 30;
constexpr int kMaxComPorts = 256;

DWORD ReadCount(HKEY key, const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return 0;
    }
    return value;
}

void WriteCount(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool KeyExists(HKEY root, const std::string& path) {
    qz::RegKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool AnyComPortOfTheDriver() {
    char* ports[kMaxComPorts] = {};
    char* names[kMaxComPorts] = {};
    int n = EnumComPorts(ports, names, kMaxComPorts);
    bool found = false;
    for (int i = 0; i < n; ++i) {
        if (names[i] && _strnicmp(names[i], "zkspe driver", 12) == 0) found = true;
        LocalFree(ports[i]);
        LocalFree(names[i]);
    }
    return found;
}

}  // namespace

void CountDriverUser(const char* application, const char* driver) {
    if (!application || !driver) return;
    qz::RegKey top, app;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, top.put(), nullptr) !=
            ERROR_SUCCESS ||
        RegCreateKeyExA(top.get(), application, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, app.put(), nullptr) !=
            ERROR_SUCCESS) {
        return;
    }
    DWORD type = 0;
    if (RegQueryValueExA(app.get(), driver, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS) return;  // counted
    WriteCount(app.get(), driver, 1);
    WriteCount(top.get(), driver, ReadCount(top.get(), driver) + 1);
}

int ReleaseDriverUser(const char* application, const char* driver, BOOL checkOnly) {
    if (!application || !driver) return 0;
    LogPrintf(checkOnly ? "  Check Driver (Use Confirmation)" : "  Check Driver (Including the deletion)");
    LogPrintf("    Driver      = %s", driver);
    LogPrintf("    Application = %s", application);
    qz::RegKey top;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTopKey, 0, KEY_ALL_ACCESS, top.put()) != ERROR_SUCCESS) return 0;
    bool removable = true;
    char sub[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = sizeof sub;
        if (RegEnumKeyExA(top.get(), i, sub, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        LogPrintf("     Use Zkuptp Driver Application : %s", sub);
        if (std::string(sub) != application) removable = false;
    }
    bool comClear = lstrcmpiA(driver, "Zkspe Driver") == 0 && ReadCount(top.get(), driver) == 1;
    bool bus = lstrcmpiA(driver, "ZKUPTP Driver") == 0;
    if (bus && lstrcmpiA(application, "ZK Tessora") != 0 &&
        KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZK Tessora")) {
        removable = false;
    }
    LogPrintf(removable ? "    Driver = Remove the %s." : "    Driver = I do not remove the %s.", driver);
    LogPrintf(comClear ? "    ComClear = Clears the %s." : "    ComClear = I do not make clear the %s.", driver);
    if (checkOnly) return removable ? 1 : 0;
    if (comClear) Zkuptp_AllClearComInfo();
    DWORD count = ReadCount(top.get(), driver);
    if (count > 0) --count;
    WriteCount(top.get(), driver, count);
    LogPrintf("    %s is the number of %d.", driver, static_cast<int>(count));
    if (bus) {
        std::string appKey = std::string(kTopKey) + "\\" + application;
        LogPrintf("  Delete : HKEY_LOCAL_MACHINE, %s", appKey.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, appKey.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, appKey.c_str());
        if (removable) {
            top.reset();
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTopKey);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTopKey);
        }
    }
    return 1;
}

int Zkuptp_AllClearComInfo() {
    static const BYTE kClearAll[8] = {0, 0, 0, 0, 0, 0, 0xFF, 0};
    if (!Drivers().SendDeviceControl("zkuptp", ZkuptpClearComPorts, kClearAll, sizeof kClearAll)) return 1;
    // The COM port devices go away a moment after the bus driver has dropped them.
    for (int round = 0; round < kComClearRounds && AnyComPortOfTheDriver(); ++round) {
        LogPrintf("    Zkuptp_AllClearComInfo [zkspe driver] exists.");
        Sleep(1000);
    }
    return 1;
}

HANDLE OpenDriverDevice(const char* name) {
    std::string path = std::string("\\\\.\\") + (name ? name : "");
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

int CloseDriverDevice(HANDLE device) {
    if (device && device != INVALID_HANDLE_VALUE) CloseHandle(device);
    return 1;
}
