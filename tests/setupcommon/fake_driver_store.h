// A scripted driver store and bus driver: devices by hardware id, the installed driver
// version, a connected device, and a record of the control requests sent.
#pragma once

#include "driver_platform.h"

#include <setupapi.h>

#include <map>
#include <string>

class FakeDriverStore final : public DriverPlatform {
public:
    FakeDriverStore() { SetDriverPlatform(this); }
    ~FakeDriverStore() override { SetDriverPlatform(nullptr); }
    FakeDriverStore(const FakeDriverStore&) = delete;
    FakeDriverStore& operator=(const FakeDriverStore&) = delete;

    bool DeviceExists(const char* id) override { return devices[Key(id)] > 0; }
    bool InstalledDriverVersion(const char* id, std::string& version) override {
        if (!DeviceExists(id)) return false;
        version = installedVersion;
        return true;
    }
    DWORD UpdateDriver(HWND, const char* id, const char*, BOOL* reboot) override {
        ++updates;
        events.push_back("update");
        if (reboot) *reboot = DeviceExists(id) && rebootOnUpdate;
        if (updateError) return updateError;
        return DeviceExists(id) ? ERROR_SUCCESS : ERROR_NO_SUCH_DEVINST;
    }
    DWORD InstallRootDevice(HWND, const char* id, const char*, BOOL* reboot, std::string& step) override {
        if (reboot) *reboot = FALSE;
        ++devices[Key(id)];
        step.clear();
        return ERROR_SUCCESS;
    }
    DWORD RemoveOneDevice(const char* id, bool*, DWORD* paramsError) override {
        if (!DeviceExists(id)) return ERROR_NO_MORE_ITEMS;
        --devices[Key(id)];
        ++removals;
        events.push_back("remove");
        if (paramsError) *paramsError = installParamsError;
        return ERROR_SUCCESS;
    }
    std::vector<ComPortInfo> ListComPorts() override { return comPorts; }
    bool IsDriverConnected(const char* name) override {
        askedConnected = name;
        return connected;
    }
    bool SendDeviceControl(const char* name, DWORD code, const void* input, DWORD bytes) override {
        const BYTE* p = static_cast<const BYTE*>(input);
        controls.push_back({name, code, std::vector<BYTE>(p, p + bytes)});
        events.push_back("control");
        return true;
    }

    struct Control {
        std::string device;
        DWORD code;
        std::vector<BYTE> input;
    };
    std::map<std::string, int> devices;
    std::string installedVersion;
    std::vector<ComPortInfo> comPorts;
    bool connected = false;
    std::string askedConnected;
    std::vector<Control> controls;
    bool rebootOnUpdate = false;
    DWORD updateError = 0;  // an error every update gives, when set
    DWORD installParamsError = 0;  // the error of reading a removed device's install parameters
    std::vector<std::string> events;  // "update", "remove", "control" in the order they came
    int updates = 0;
    int removals = 0;

private:
    static std::string Key(const char* id) {
        std::string k(id ? id : "");
        for (char& c : k) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return k;
    }
};
