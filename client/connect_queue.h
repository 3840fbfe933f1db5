// The connect queue (service window list 1003) and its worker thread.
#pragma once

#include <windows.h>

#include <cstdint>

// Gives the queue list its queue state; false when it cannot be made.
bool AttachConnectQueueState(HWND queueList);
// Frees the queue state of the list (service window destruction).
void DetachConnectQueueState(HWND queueList);

// Starts the worker when none runs.
void StartConnectQueueWorker(HWND service);

// Closes the handle of the worker that ended.
void CloseConnectQueueWorker();

struct DeviceEntry;

// Kinds of request the queue holds for a device.
enum class QueuedKind {
    Connect,
    Disconnect,
    Any,
};

// True when the connect queue holds a request of `kind` for the device. Library lock held.
bool IsDeviceQueued(const DeviceEntry* device, QueuedKind kind);

// Asks the bus driver for the COM port it gave a serial device that this PC uses and, when it
// has one, stores it in the device's record. Returns the number, 0 when there is none. No lock
// may be held (driver call).
uint8_t RefreshDeviceComPort(DeviceEntry* device);
