// The connect queue (service window list 1003) and its worker thread.
#pragma once

#include <windows.h>

// Gives the queue list its queue state; false when it cannot be made.
bool AttachConnectQueueState(HWND queueList);
// Frees the queue state of the list (service window destruction).
void DetachConnectQueueState(HWND queueList);

// Starts the worker when none runs.
void StartConnectQueueWorker(HWND service);

// Closes the handle of the worker that ended.
void CloseConnectQueueWorker();
