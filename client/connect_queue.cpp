#include "connect_queue.h"

// The queue is not built yet: no state, no worker.
bool AttachConnectQueueState(HWND) { return true; }
void DetachConnectQueueState(HWND) {}
void StartConnectQueueWorker(HWND) {}
void CloseConnectQueueWorker() {}

// Until the queue exists nothing is ever queued, and no COM port is looked up.
bool IsDeviceQueued(const DeviceEntry*, QueuedKind) { return false; }
uint8_t RefreshDeviceComPort(DeviceEntry*) { return 0; }
