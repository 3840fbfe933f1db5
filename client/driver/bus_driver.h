// The virtual USB bus driver: one process-wide handle to "\\.\<name>" and one function per
// control code. The service window's thread, the connect-queue worker and the keep-alive code
// share the handle; every call is synchronous and is made without the library lock. An
// operation re-opens the driver when the handle is invalid (never opened, closed, or a failed
// open) and gives up as each function says when that fails.
//
// Driver replies are untrusted: a byte count is checked against what was asked for before a
// field is read, and a reply too short to hold the field counts as a failed call.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "bus_driver_codes.h"

// How long the operations that give the driver time to come up wait before failing when it
// cannot be opened.
constexpr DWORD kDriverUnavailableSleepMs = 5000;
// How long the state wait gives a port to reach the wanted state, and how often it asks.
constexpr DWORD kDriverStateTimeoutMs = 20000;
constexpr DWORD kDriverStatePollMs = 1000;
// Longest device id (in characters) the layer accepts from the driver.
constexpr uint32_t kMaxBusDeviceIdChars = 4096;

// The sleep actually used for kDriverUnavailableSleepMs; unit tests shorten it.
inline DWORD g_driverUnavailableSleepMs = kDriverUnavailableSleepMs;

// Opens "\\.\<name>" (null or empty: "zkuptp") for reading, sharing read and write, existing
// only, and remembers the path for later re-opens; a failed open keeps an invalid handle.
// True when open.
bool OpenBusDriver(const char* name);

// Closes the handle and keeps the path; harmless when none is open.
void CloseBusDriver();

// Fills a port request. False for a null location or one longer than 15 characters: cutting
// it to fit would name another port.
bool MakePortRequest(uint32_t address, const char* location, DriverPortRequest* out);

// One byte read from the driver: true when it was read and is 1 (some device is connected
// through the driver). False when the driver cannot be opened.
bool ReadDriverConnection();

// Waits for the port (server address, location) to reach the wanted state, asking every
// kDriverStatePollMs for up to kDriverStateTimeoutMs, logging to logWindow.
// 1 when the state was reached, and also when time ran out: then, when 2 was wanted and the
// driver still said 0, *stuckAtFree is set to 1 so that the caller can count a retry.
// 0 when the driver cannot be opened, the call fails or the location is unusable.
int WaitDriverState(HWND logWindow, uint32_t address, const char* location, uint16_t wanted,
                    uint32_t* stuckAtFree);

// The port that holds the device with this id (OEM text, at most 256 characters).
// The call's result; 0 at once when the driver cannot be opened.
int LookupPortByDeviceId(const char* deviceId, DriverPortRequest* out);

// A port's status as the long form of the status query gives it.
struct PortStatus {
    uint16_t state;
    uint8_t comPort;  // long form only
    uint32_t value;   // long form only
};

// The port's state (short form) or state, COM number and value (long form).
// The call's result; 0 for a null location or status, and at once when the driver cannot be
// opened.
int QueryPortStatus(uint32_t address, const char* location, PortStatus* status, bool longForm);

// Makes the driver let go of a port. The call's result; 0 after kDriverUnavailableSleepMs
// when the driver cannot be opened.
int ForceReleasePort(uint32_t address, const char* location);

// The port's bus device id. False (and *id empty) when the driver has none, cannot be opened
// (after kDriverUnavailableSleepMs), or answers with an impossible size; *callFailed (when
// given) tells a driver that could not be asked or refused the call from one without an id.
bool GetPortDeviceId(uint32_t address, const char* location, std::wstring* id, bool* callFailed = nullptr);

// Gives the driver the COM port number of a serial device's port. The call's result; 0 after
// kDriverUnavailableSleepMs when the driver cannot be opened.
int SetPortComPort(uint32_t address, const char* location, uint8_t comPort);

// Asks how long a port has been cut off. 1 when the call succeeded: *value is the time and
// *over is 1 when it is not 0 and greater than the limit. 0 for a zero address or a null
// location, and after kDriverUnavailableSleepMs when the driver cannot be opened.
int QueryPortBlackout(uint32_t address, const char* location, uint16_t limit, uint16_t* over,
                      uint16_t* value);

// Ownership values, passed through to and from the driver. Setters give the call's result,
// getters 1 when the call succeeded with a full value.
int SetOwnershipInterface(uint32_t value);
int GetOwnershipInterface(uint32_t* value);
int SetOwnershipReleaseTime(uint32_t value);
int GetOwnershipReleaseTime(uint32_t* value);

// The HID filter setting. 0 without a call for mode 0 or no values; 1 when the call succeeded.
int SetHidFilter(uint16_t mode, const uint16_t* values);
