// The connect queue (service window list 1003) and its worker thread. The requests themselves
// live in the queue state, guarded by the library lock; the list only shows them, and only the
// service window's thread touches it. The worker never sends to a window while it holds the
// lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>

#include "pnxscapi.h"

struct DeviceEntry;

// Request messages.
constexpr uint16_t kRequestConnect = 0x806E;       // PNXN_CONNECT
constexpr uint16_t kRequestDisconnect = 0x806F;    // PNXN_DISCONNECT
constexpr uint16_t kRequestNasConnect = 0x8078;    // PNXN_NAS_CONNECT
constexpr uint16_t kRequestNasRemove = 0x8079;     // PNXN_NAS_REMOVE

// Wait modes of a connect.
constexpr uint16_t kWaitNone = 0;
constexpr uint16_t kWaitConnection = 1;
constexpr uint16_t kWaitCompleteInstall = 2;

// Actions.
constexpr uint16_t kActionButton = 1;
constexpr uint16_t kActionApplication = 2;
constexpr uint16_t kActionAutoPrinter = 3;
constexpr uint16_t kActionAutoConnect = 4;
constexpr uint16_t kActionKeepAlive = 5;
constexpr uint16_t kActionNewDevice = 6;

// Phases and the steps of the worker.
constexpr uint16_t kPhaseStart = 1;
constexpr uint16_t kPhasePermit = 2;
constexpr uint16_t kPhaseResult = 3;
constexpr uint16_t kPhaseEnd = 4;

// Posted to the service window whenever the requests changed: it shows them in its list.
constexpr UINT PNXM_QUEUE_ROWS = 0x8198;

// One queued connect or disconnect. The request holds its device entry (HoldDeviceEntryLocked)
// from queuing until it leaves the queue.
struct ConnectRequest {
    HWND requester;
    DeviceEntry* device;
    uint16_t message;
    uint16_t wait;
    uint16_t action;
    void* buffer;
    uint32_t size;
};

// The queue's state. One per process, like the service window.
struct ConnectQueueState {
    HWND service = nullptr;          // library lock: last service handle given; the log window
    HWND list = nullptr;             // GUI thread: the queue list
    uint16_t step = 0;               // library lock
    bool stepGiven = false;          // library lock: PnxConnectStart chose the next step
    uint16_t cancel = 0;             // library lock
    bool shutdown = false;           // library lock: the service is going; run no more phases
    HANDLE cancelEvent = nullptr;    // library lock; only while a worker runs
    HANDLE runEvent = nullptr;       // library lock; only while a worker runs
    bool workerRunning = false;      // library lock
    DWORD sendingTo = 0;             // library lock: thread of the window the worker sends a phase to
    HANDLE worker = nullptr;         // GUI thread: the worker's thread handle
    std::deque<ConnectRequest*> requests;  // library lock; the front one runs
};

ConnectQueueState& ConnectQueue();

// Gives the queue list its queue state; false when it cannot be made.
bool AttachConnectQueueState(HWND queueList);
// Forgets the list (service window destruction); a running worker stops before its next phase.
void DetachConnectQueueState(HWND queueList);

// Starts the worker when none runs (PNXM_QUEUE_START).
void StartConnectQueueWorker(HWND service);

// The end notice of a worker (PNXM_QUEUE_END): waits for the worker that let go, starts a new
// one for requests queued meanwhile; true when no worker runs, so that the queue is done.
bool ConnectQueueEnded(HWND service);

// Waits until the worker thread, if any, has ended (after ReleaseConnectQueueWorker(true) or
// the library's stop), serving what it sends to this thread's windows. No lock may be held.
// Called from inside a phase handler (the worker waits for this very thread to return), it
// cannot wait: it leaves the worker, which runs no further phase, and returns false.
bool JoinConnectQueueWorker();
// True while a worker has the queue; the wait for that to end, false when it did not in `ms`.
bool ConnectWorkerRuns();
bool WaitConnectWorkerLetGo(DWORD ms);

// Shows the requests in the queue list (PNXM_QUEUE_ROWS). Service window thread.
void ShowConnectQueueRows();

// Releases a worker held by PnxConnectStop: with `shutdown` it runs no further phase.
void ReleaseConnectQueueWorker(bool shutdown);

// Drops the waiting requests of a device whose row is deleted; the running one sees the
// mark when it next looks.
void DropQueuedRequestsLocked(DeviceEntry* device);

// Kinds of request the queue holds for a device.
enum class QueuedKind {
    Connect,
    Disconnect,
    Any,
};

// True when the connect queue holds a request of `kind` for the device.
bool IsDeviceQueued(const DeviceEntry* device, QueuedKind kind);
// True when a queued request has that device and message. Library lock taken inside.
bool IsRequestQueued(const DeviceEntry* device, uint16_t message);

// Asks the bus driver for the COM port it gave a serial device that this PC uses and, when it
// has one, stores it in the device's record. Returns the number, 0 when there is none. No lock
// may be held (driver call).
uint8_t RefreshDeviceComPort(DeviceEntry* device);

// Text of an action or wait mode as the log prints it.
const char* ActionText(uint16_t action, char* fallback, size_t capacity);
const char* WaitText(uint16_t wait, char* fallback, size_t capacity);

// Queues a storage connect or remove of a storage entry (PnxNasConnectDrive, PnxNasSafeRemove).
int QueueStorageRequest(HWND service, HWND requester, DeviceEntry* entry, uint16_t message);

// The bodies of the queue exports. Connects and disconnects go to the end of the queue, or to
// a position (negative counts as the front, which a running request keeps); 1 also when the
// same request is queued already.
int QueueConnect(HWND service, HWND requester, HPnxDv device, uint16_t wait, uint16_t action, void* buffer,
                 uint32_t size);
int QueueConnectAt(HWND service, HWND requester, HPnxDv device, uint16_t wait, uint16_t action, int position);
int QueueDisconnect(HWND service, HWND requester, HPnxDv device, uint16_t action);
int QueueDisconnectAt(HWND service, HWND requester, HPnxDv device, uint16_t action, int position);
// The answer to a Permit phase; holding the queue before its next step; cancelling it.
int QueueStepAnswer(HWND service, uint16_t step);
int QueueHold(HWND service);
int QueueCancel(HWND service);
// Queued request `index` (PnxEnumConnect).
int QueueEnumRequest(HWND service, int index, ConnectEnumItem* out);
// Sets or clears the pending automatic connect of a device (type: the action it is for).
int ChangeAutoConnect(HWND service, HPnxDv device, uint16_t type, bool set);

// Sends the request's message with a ConnectEvent of that phase to its requester; the answer.
LRESULT SendPhase(const ConnectRequest& request, uint16_t phase, uint16_t result);

// Waits up to `ms` on the request's cancel event; true when it was set.
bool WaitConnectCancel(DWORD ms);
// True when PnxConnectCancel was called for the running request.
bool ConnectCancelled();
