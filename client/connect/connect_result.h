// The Result phase of a queued connect or disconnect: the last status check with the server,
// freeing ports the bus driver still holds, the commands, the confirmation, the Result event
// and the wait for Windows to install a connected device.
#pragma once

#include <windows.h>

#include <cstdint>

struct ConnectRequest;
struct DeviceEntry;

// ConnectResult codes.
constexpr uint16_t kResultSuccess = 0;
constexpr uint16_t kResultServerNotFound = 1;
constexpr uint16_t kResultDeviceNotFound = 2;
constexpr uint16_t kResultCheckFailed = 3;
constexpr uint16_t kResultUsedForYou = 4;
constexpr uint16_t kResultForceDisconnectError = 5;
constexpr uint16_t kResultFailed = 6;
constexpr uint16_t kResultDenied = 9;

// Runs the phase on the worker; the next step (End, or 0 to end without one).
uint16_t FinishConnectAction(const ConnectRequest& request);

// Stores the COM port the driver gave a serial device without one; the number, 0 when none.
uint8_t GetDeviceComPort(HWND logWindow, DeviceEntry* device);

// Text of a result code as the log prints it.
const char* ConnectResultText(uint16_t code, char* fallback, size_t capacity);
