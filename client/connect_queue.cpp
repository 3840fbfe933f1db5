#include "connect_queue.h"

// The queue is not built yet: no state, no worker.
bool AttachConnectQueueState(HWND) { return true; }
void DetachConnectQueueState(HWND) {}
void StartConnectQueueWorker(HWND) {}
void CloseConnectQueueWorker() {}
