// The Windows driver store and device tree as the driver installer uses them. The production
// version passes each call straight to SetupAPI and newdev.dll; Wine only pretends to update
// drivers and remove devices, so tests put a scripted store in its place.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ComPortInfo {
    std::string portName;      // "COM3"
    std::string friendlyName;  // "Zkspe Driver (COM3)"
};

class DriverPlatform {
public:
    virtual ~DriverPlatform() = default;
    // A device, present or not, of any class, whose hardware-id list holds the id (any case).
    virtual bool DeviceExists(const char* hardwareId) = 0;
    // "DriverVersion" of the driver key of the first such device whose key opens.
    virtual bool InstalledDriverVersion(const char* hardwareId, std::string& version) = 0;
    // UpdateDriverForPlugAndPlayDevices with INSTALLFLAG_FORCE: ERROR_SUCCESS or the error.
    virtual DWORD UpdateDriver(HWND window, const char* hardwareId, const char* inf, BOOL* reboot) = 0;
    // Creates and registers a root device of the INF's class with the hardware id and installs
    // the driver on it; removes the device again when the driver update fails. failedStep
    // names the step that failed.
    virtual DWORD InstallRootDevice(HWND window, const char* hardwareId, const char* inf, BOOL* reboot,
                                    std::string& failedStep) = 0;
    // Removes one device with the hardware id (global scope): ERROR_SUCCESS, ERROR_NO_MORE_ITEMS
    // when there is none, else the error. *reboot is set when Windows asks for a restart.
    virtual DWORD RemoveOneDevice(const char* hardwareId, bool* reboot) = 0;
    // Present devices of the "Ports" class whose port name begins with "COM".
    virtual std::vector<ComPortInfo> ListComPorts() = 0;
    // "\\.\name" answers a one-byte read with 1: a device is connected to the bus driver.
    virtual bool IsDriverConnected(const char* name) = 0;
    // Sends a control request to "\\.\name"; false when the device does not open or refuses.
    virtual bool SendDeviceControl(const char* name, DWORD code, const void* input, DWORD inputBytes) = 0;
};

DriverPlatform& Drivers();
void SetDriverPlatform(DriverPlatform* platform);  // null: the system
