// The Windows driver store and device tree as the driver installer uses them. The production
// version passes each call straight to SetupAPI and newdev.dll (where Wine only has a stub, as
// for the class-install parameters, it says so beside the call); Wine only pretends to update
// drivers, so tests put a scripted store in its place, or the system's with one call replaced.
#pragma once

#include <windows.h>
#include <setupapi.h>

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
    // when there is none, else the error of the class-install parameters or of the removal.
    // Afterwards *reboot is set when Windows asks for a restart, and *paramsError holds the error
    // of reading the device's install parameters (ERROR_SUCCESS when they were read).
    virtual DWORD RemoveOneDevice(const char* hardwareId, bool* reboot, DWORD* paramsError) = 0;
    // Present devices of the "Ports" class whose port name begins with "COM".
    virtual std::vector<ComPortInfo> ListComPorts() = 0;
    // "\\.\name" answers a one-byte read with 1: a device is connected to the bus driver.
    virtual bool IsDriverConnected(const char* name) = 0;
    // Sends a control request to "\\.\name"; false when the device does not open or refuses.
    virtual bool SendDeviceControl(const char* name, DWORD code, const void* input, DWORD inputBytes) = 0;
};

// The system's driver store and devices, every call passed straight to Windows.
class SystemDriverPlatform : public DriverPlatform {
public:
    bool DeviceExists(const char* hardwareId) override;
    bool InstalledDriverVersion(const char* hardwareId, std::string& version) override;
    DWORD UpdateDriver(HWND window, const char* hardwareId, const char* inf, BOOL* reboot) override;
    DWORD InstallRootDevice(HWND window, const char* hardwareId, const char* inf, BOOL* reboot,
                            std::string& failedStep) override;
    DWORD RemoveOneDevice(const char* hardwareId, bool* reboot, DWORD* paramsError) override;
    std::vector<ComPortInfo> ListComPorts() override;
    bool IsDriverConnected(const char* name) override;
    bool SendDeviceControl(const char* name, DWORD code, const void* input, DWORD inputBytes) override;

protected:
    // SetupDiSetClassInstallParamsA with the DIF_REMOVE parameters of a global removal (Wine's
    // stub, which fails without an error code, counts as set: its DIF_REMOVE removes globally).
    virtual BOOL SetRemoveParams(HDEVINFO set, SP_DEVINFO_DATA* device, SP_REMOVEDEVICE_PARAMS* params);
};

DriverPlatform& Drivers();
void SetDriverPlatform(DriverPlatform* platform);  // null: the system
