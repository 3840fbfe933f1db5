#include "connect_queue.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "bus_driver.h"
#include "connect_hooks.h"
#include "connect_result.h"
#include "connect_target.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "lib_stop.h"
#include "log.h"
#include "nas_info.h"
#include "notify.h"
#include "pnxscapi.h"
#include "usb_device_info.h"

namespace {

ConnectQueueState g_queue;  // fields say what guards them

constexpr SIZE_T kWorkerStackSize = 16384;
constexpr DWORD kJoinLookMs = 50;
// A send to this thread that no serving answers for this long is one this thread is inside.
constexpr DWORD kHeldByHandlerMs = 1000;

bool QueueLive(HWND service) {
    LibraryLock lock;
    return service && g_queue.list;
}

int FindRequestLocked(const DeviceEntry* device, uint16_t message) {
    for (size_t i = 0; i < g_queue.requests.size(); ++i) {
        const ConnectRequest* r = g_queue.requests[i];
        if (r->device == device && r->message == message) return static_cast<int>(i);
    }
    return -1;
}

void PostRows() {
    HWND service;
    {
        LibraryLock lock;
        service = g_queue.list ? GetParent(g_queue.list) : nullptr;
    }
    if (service) PostMessageA(service, PNXM_QUEUE_ROWS, 0, 0);
}

bool IsStorageMessage(uint16_t message) { return message == kRequestNasConnect || message == kRequestNasRemove; }

// The name a request is logged and shown with: the device's, or a storage entry's share name.
std::string EntryNameLocked(const DeviceEntry* device) {
    if (device->storage) {
        const wchar_t* share = device->storage->shareName ? device->storage->shareName : L"";
        char narrow[520] = {};
        WideCharToMultiByte(CP_ACP, 0, share, -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
        return narrow;
    }
    return device->info && device->info->name ? device->info->name : "";
}

// Queues a request at `position` (-1 = the end). 1 also when the same request is queued.
int Enqueue(HWND service, HWND requester, DeviceEntry* device, uint16_t message, uint16_t wait,
            uint16_t action, void* buffer, uint32_t size, int position, const char* logName) {
    if (!service || !device) return 0;
    char waitText[16], actionText[16];
    std::string name;
    bool startWorker = false;
    bool storage = IsStorageMessage(message);
    {
        LibraryLock lock;
        if (!g_queue.list || device->removed || (storage ? !device->storage : !device->info)) return 0;
        // A storage entry takes no request while its removal waits; a connect may be asked again.
        if (FindRequestLocked(device, storage ? kRequestNasRemove : message) >= 0) return 1;
        auto* request = new (std::nothrow) ConnectRequest{requester, device, message, wait, action,
                                                          size ? buffer : nullptr, size ? size : 0};
        if (!request) return 0;
        size_t count = g_queue.requests.size();
        size_t at = position < 0 || static_cast<size_t>(position) > count ? count : static_cast<size_t>(position);
        // The front request is the one the worker runs: nothing goes ahead of it.
        if (at == 0 && g_queue.workerRunning && count > 0) at = 1;
        g_queue.requests.insert(g_queue.requests.begin() + static_cast<std::ptrdiff_t>(at), request);
        HoldDeviceEntryLocked(device);
        g_queue.service = service;
        startWorker = at == 0;
        name = EntryNameLocked(device);
    }
    if (storage) {
        LogLine(service, "%s(%s)", logName, name.c_str());
    } else if (message == kRequestConnect) {
        LogLine(service, "%s(%s) - Wait: %s, Action: %s", logName, name.c_str(),
                WaitText(wait, waitText, sizeof(waitText)), ActionText(action, actionText, sizeof(actionText)));
    } else {
        LogLine(service, "%s(%s) - Action: %s", logName, name.c_str(), ActionText(action, actionText, sizeof(actionText)));
    }
    if (startWorker) PostMessageA(service, PNXM_QUEUE_START, 0, 0);
    PostRows();
    return 1;
}

}  // namespace

namespace {
// Tells the library's end, while the worker sends to a window, which thread it waits for: a
// handler there that ends the library cannot wait for the worker.
class SendMark {
public:
    explicit SendMark(HWND target) {
        DWORD thread = target ? GetWindowThreadProcessId(target, nullptr) : 0;
        LibraryLock lock;
        g_queue.sendingTo = thread;
    }
    ~SendMark() {
        LibraryLock lock;
        g_queue.sendingTo = 0;
    }
    SendMark(const SendMark&) = delete;
    SendMark& operator=(const SendMark&) = delete;
};
}  // namespace

LRESULT SendPhase(const ConnectRequest& request, uint16_t phase, uint16_t result) {
    ConnectEvent event = {};
    event.phase = phase;
    event.result = result;
    event.action = request.action;
    event.buffer = reinterpret_cast<uintptr_t>(request.buffer);
    event.size = request.size;
    if (!request.requester) return 0;
    SendMark mark(request.requester);
    return SendMessageA(request.requester, request.message, reinterpret_cast<WPARAM>(&event),
                        reinterpret_cast<LPARAM>(request.device));
}

namespace {

HWND LogWindow() {
    LibraryLock lock;
    return g_queue.service;
}

uint16_t StepStart(const ConnectRequest& request, const ConnectTarget& target) {
    char fallback[16];
    const char* action = ActionText(request.action, fallback, sizeof(fallback));
    LogLine(LogWindow(), ">> SendMessage(Start - %s: Action %s) <<", target.name.c_str(), action);
    LogLine(target.serverWindow, ">> SendMessage(Start - %s: Action %s) <<", target.name.c_str(), action);
    return SendPhase(request, kPhaseStart, 0) ? kPhasePermit : kPhaseEnd;
}

uint16_t StepPermit(const ConnectRequest& request, const ConnectTarget& target) {
    if (!target.hasProperty) return 0;
    if (target.IsComPort()) {
        PortStatus status = {};
        if (!QueryPortStatus(target.serverAddress, target.locations[0].c_str(), &status, true) || status.state != 4) {
            return kPhaseResult;
        }
        GetDeviceComPort(LogWindow(), request.device);
        if (request.message == kRequestConnect && request.action == kActionAutoConnect) return kPhaseResult;
    } else if (request.message == kRequestConnect || (target.function & kDeviceFunctionPermission)) {
        return kPhaseResult;
    }
    LogLine(LogWindow(), ">> SendMessage(Permit - %s) <<", target.name.c_str());
    return SendPhase(request, kPhasePermit, 0) ? kPhaseResult : kPhaseEnd;
}

uint16_t StepEnd(const ConnectRequest& request, const ConnectTarget& target) {
    LogLine(LogWindow(), ">> SendMessage(End - %s) <<", target.name.c_str());
    SendPhase(request, kPhaseEnd, 0);
    return 0;
}

// Waits for the run event (or the library's stop), then the step to go on with: the one
// PnxConnectStart chose, else the one the phase returned; 0 when its device went or the
// service is ending.
uint16_t AwaitRun(ConnectRequest* request, uint16_t next) {
    HANDLE run;
    {
        LibraryLock lock;
        if (!g_queue.stepGiven) g_queue.step = next;
        run = g_queue.runEvent;
    }
    if (run) WaitOrStop(run, INFINITE);
    LibraryLock lock;
    uint16_t step = g_queue.step;
    g_queue.stepGiven = false;
    if (g_queue.shutdown || request->device->removed || LibraryStopping()) return 0;
    return step;
}

bool Changed(const ConnectTarget& before, DeviceEntry* device) {
    LibraryLock lock;
    if (device->removed || !device->info) return false;
    const UsbDeviceInfo& now = *device->info;
    return now.status != before.status || now.statusEx != before.statusEx ||
           now.previousStatus != before.previousStatus || now.previousStatusEx != before.previousStatusEx;
}

void RunDeviceRequest(ConnectRequest* request) {
    ConnectTarget before;
    if (!SnapshotDevice(request->device, &before)) return;
    uint16_t step = AwaitRun(request, kPhaseStart);
    while (step != 0) {
        ConnectTarget target;
        if (!SnapshotDevice(request->device, &target)) break;
        uint16_t next = 0;
        switch (step) {
        case kPhaseStart: next = StepStart(*request, target); break;
        case kPhasePermit: next = StepPermit(*request, target); break;
        case kPhaseResult: next = FinishConnectAction(*request); break;
        case kPhaseEnd: next = StepEnd(*request, target); break;
        default: next = 0; break;
        }
        // The run event is waited for after End too: a requester that holds the queue in its
        // End handler (to show a failure) lets it go with PnxConnectStart.
        step = AwaitRun(request, next);
    }
    if (Changed(before, request->device)) {
        DeviceChangeRecord record;
        bool filled;
        {
            LibraryLock lock;
            filled = !request->device->removed &&
                     FillChangeRecord(&record, request->device, PNXET_CHANGE, 4, "*** (Connect) ***", nullptr);
        }
        if (filled) {
            HWND client;
            {
                LibraryLock lock;
                client = g_lib.clientWindow;
            }
            SendMark mark(client);
            NotifyDevices(before.serverWindow, &record, 1);
        }
    }
}

// The queue is empty (or the service ends): the worker lets go in the same lock section that
// saw it so, so that a request queued a moment later finds no worker and starts one.
HWND RetireWorkerLocked() {
    g_queue.cancel = 0;
    if (g_queue.cancelEvent) CloseHandle(g_queue.cancelEvent);
    if (g_queue.runEvent) CloseHandle(g_queue.runEvent);
    g_queue.cancelEvent = g_queue.runEvent = nullptr;
    g_queue.workerRunning = false;
    return g_queue.list ? GetParent(g_queue.list) : nullptr;
}

DWORD WINAPI WorkerMain(void*) {
    HWND service = nullptr;
    for (;;) {
        ConnectRequest* request;
        {
            LibraryLock lock;
            if (g_queue.requests.empty() || g_queue.shutdown) {
                service = RetireWorkerLocked();
                break;
            }
            request = g_queue.requests.front();
            g_lib.requesterWindow = request->requester;
            g_queue.step = kPhaseStart;
            g_queue.stepGiven = false;
            g_queue.cancel = 0;
            if (g_queue.cancelEvent) ResetEvent(g_queue.cancelEvent);
        }
        if (request->device && IsStorageMessage(request->message)) {
            RunStorageRequestHook(*request);
        } else if (request->device) {
            RunDeviceRequest(request);
        }
        {
            LibraryLock lock;
            auto it = std::find(g_queue.requests.begin(), g_queue.requests.end(), request);
            if (it != g_queue.requests.end()) g_queue.requests.erase(it);
            DropDeviceEntryLocked(request->device);
        }
        delete request;
        PostRows();
    }
    // Touches nothing of the queue any more: a new worker may already run.
    if (service) PostMessageA(service, PNXM_QUEUE_END, 0, 0);
    return 0;
}

// Takes the handle of a worker that has let go of the queue; null when none or one runs.
HANDLE TakeRetiredWorkerLocked() {
    if (g_queue.workerRunning || !g_queue.worker) return nullptr;
    HANDLE ended = g_queue.worker;
    g_queue.worker = nullptr;
    return ended;
}

// A retired worker only posts its end notice and returns: waiting for it is brief.
void JoinRetired(HANDLE ended) {
    if (!ended) return;
    JoinLibraryThread(ended);
    CloseHandle(ended);
}

}  // namespace

ConnectQueueState& ConnectQueue() { return g_queue; }

bool AttachConnectQueueState(HWND queueList) {
    LibraryLock lock;
    g_queue.list = queueList;
    g_queue.shutdown = false;
    return queueList != nullptr;
}

void DetachConnectQueueState(HWND queueList) {
    std::deque<ConnectRequest*> waiting;
    {
        LibraryLock lock;
        if (g_queue.list != queueList) return;
        g_queue.list = nullptr;
        // Requests that never ran go with the service; the running one ends at its next look.
        size_t keep = g_queue.workerRunning && !g_queue.requests.empty() ? 1 : 0;
        while (g_queue.requests.size() > keep) {
            waiting.push_back(g_queue.requests.back());
            g_queue.requests.pop_back();
        }
        for (ConnectRequest* r : waiting) DropDeviceEntryLocked(r->device);
    }
    for (ConnectRequest* r : waiting) delete r;
    ReleaseConnectQueueWorker(true);
    JoinConnectQueueWorker();
}

void StartConnectQueueWorker(HWND service) {
    HANDLE ended;
    {
        LibraryLock lock;
        if (g_queue.workerRunning || g_queue.requests.empty() || !g_queue.list) return;
        ended = TakeRetiredWorkerLocked();
    }
    JoinRetired(ended);
    LibraryLock lock;
    if (g_queue.workerRunning || g_queue.requests.empty() || !g_queue.list || LibraryStopping()) return;
    // The events exist before the thread does, so that the steering calls find them.
    g_queue.cancelEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_queue.runEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    g_queue.service = g_queue.service ? g_queue.service : service;
    g_queue.shutdown = false;
    g_queue.workerRunning = true;
    g_queue.worker = CreateThread(nullptr, kWorkerStackSize, WorkerMain, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!g_queue.worker) {
        g_queue.workerRunning = false;
        CloseHandle(g_queue.cancelEvent);
        CloseHandle(g_queue.runEvent);
        g_queue.cancelEvent = g_queue.runEvent = nullptr;
        return;
    }
    SetThreadPriority(g_queue.worker, THREAD_PRIORITY_LOWEST);
}

bool ConnectQueueEnded(HWND service) {
    HANDLE ended;
    {
        LibraryLock lock;
        ended = TakeRetiredWorkerLocked();
    }
    JoinRetired(ended);
    // A request queued while the old worker let go has a worker of its own by now, or gets
    // one here; the queue is done only when none runs.
    StartConnectQueueWorker(service);
    LibraryLock lock;
    return !g_queue.workerRunning;
}

bool ConnectWorkerRuns() {
    LibraryLock lock;
    return g_queue.workerRunning;
}

bool WaitConnectWorkerLetGo(DWORD ms) {
    ULONGLONG deadline = GetTickCount64() + ms;
    while (ConnectWorkerRuns()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(10);
    }
    return true;
}

bool JoinConnectQueueWorker() {
    HANDLE worker;
    {
        LibraryLock lock;
        worker = g_queue.worker;
    }
    if (!worker) return true;
    // A phase sent to this thread is served here, unless this thread is inside its handler
    // already: then the send stays unanswered however long this waits.
    ULONGLONG heldSince = 0;
    for (;;) {
        ServeSentMessages(0);
        if (WaitForSingleObject(worker, kJoinLookMs) != WAIT_TIMEOUT) break;
        bool heldHere;
        {
            LibraryLock lock;
            heldHere = g_queue.sendingTo == GetCurrentThreadId();
        }
        ULONGLONG now = GetTickCount64();
        if (!heldHere) {
            heldSince = 0;
        } else if (heldSince == 0) {
            heldSince = now;
        } else if (now - heldSince >= kHeldByHandlerMs) {
            return false;
        }
    }
    LibraryLock lock;
    if (g_queue.worker == worker) g_queue.worker = nullptr;
    CloseHandle(worker);
    return true;
}

void ShowConnectQueueRows() {
    HWND list;
    std::vector<std::pair<std::string, const char*>> rows;
    {
        LibraryLock lock;
        list = g_queue.list;
        for (const ConnectRequest* r : g_queue.requests) {
            const char* mode = r->message == kRequestConnect       ? "Connect"
                               : r->message == kRequestDisconnect  ? "Disconnect"
                               : r->message == kRequestNasConnect  ? "NAS Connect"
                                                                   : "NAS Remove";
            rows.emplace_back(r->device ? EntryNameLocked(r->device) : std::string(), mode);
        }
    }
    if (!list) return;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    for (size_t i = 0; i < rows.size(); ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(rows[i].first.c_str());
        int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (row >= 0) ListView_SetItemText(list, row, 1, const_cast<char*>(rows[i].second));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

void ReleaseConnectQueueWorker(bool shutdown) {
    LibraryLock lock;
    if (!g_queue.workerRunning) return;
    g_queue.cancel = 1;
    if (shutdown) g_queue.shutdown = true;
    if (g_queue.cancelEvent) SetEvent(g_queue.cancelEvent);
    if (g_queue.runEvent) SetEvent(g_queue.runEvent);
}

void DropQueuedRequestsLocked(DeviceEntry* device) {
    size_t first = g_queue.workerRunning ? 1 : 0;
    for (size_t i = g_queue.requests.size(); i-- > first;) {
        ConnectRequest* r = g_queue.requests[i];
        if (r->device != device) continue;
        g_queue.requests.erase(g_queue.requests.begin() + static_cast<std::ptrdiff_t>(i));
        DropDeviceEntryLocked(device);
        delete r;
    }
}

bool IsDeviceQueued(const DeviceEntry* device, QueuedKind kind) {
    LibraryLock lock;
    for (const ConnectRequest* r : g_queue.requests) {
        if (r->device != device) continue;
        if (kind == QueuedKind::Any || (kind == QueuedKind::Connect && r->message == kRequestConnect) ||
            (kind == QueuedKind::Disconnect && r->message == kRequestDisconnect)) {
            return true;
        }
    }
    return false;
}

bool IsRequestQueued(const DeviceEntry* device, uint16_t message) {
    LibraryLock lock;
    return FindRequestLocked(device, message) >= 0;
}

uint8_t RefreshDeviceComPort(DeviceEntry* device) {
    return GetDeviceComPort(LogServiceWindow(), device);
}

const char* ActionText(uint16_t action, char* fallback, size_t capacity) {
    static const char* const kTexts[] = {nullptr, "By Button.", "By Application.", "By Auto Printer.",
                                         "By Auto Connect.", "By ZKA.", "By New Device."};
    if (action >= 1 && action <= 6) return kTexts[action];
    snprintf(fallback, capacity, "0x%08x", action);
    return fallback;
}

const char* WaitText(uint16_t wait, char* fallback, size_t capacity) {
    if (wait == kWaitConnection) return "Wait Connection.";
    if (wait == kWaitCompleteInstall) return "Wait Complete Install.";
    snprintf(fallback, capacity, "0x%08x", wait);
    return fallback;
}

bool WaitConnectCancel(DWORD ms) {
    HANDLE cancel;
    {
        LibraryLock lock;
        cancel = g_queue.cancelEvent;
    }
    // The library's stop ends the wait as a cancel does.
    DWORD woken = WaitOrStop(cancel, ms);
    return woken == WAIT_OBJECT_0 || woken == WAIT_OBJECT_0 + 1;
}

bool ConnectCancelled() {
    LibraryLock lock;
    return g_queue.cancel != 0 || g_queue.shutdown || LibraryStopping();
}

// --- The bodies of the queue exports.

int QueueStorageRequest(HWND service, HWND requester, DeviceEntry* entry, uint16_t message) {
    return Enqueue(service, requester, entry, message, 0, 0, nullptr, 0, -1,
                   message == kRequestNasConnect ? "PnxNasConnectDrive" : "PnxNasSafeRemove");
}

int QueueConnect(HWND service, HWND requester, HPnxDv device, uint16_t wait, uint16_t action, void* buffer,
                 uint32_t size) {
    return Enqueue(service, requester, device, kRequestConnect, wait, action, buffer, size, -1, "PnxConnectUsbDevice");
}

int QueueConnectAt(HWND service, HWND requester, HPnxDv device, uint16_t wait, uint16_t action, int position) {
    return Enqueue(service, requester, device, kRequestConnect, wait, action, nullptr, 0, position < 0 ? 0 : position,
                   "PnxConnectInterruption");
}

int QueueDisconnect(HWND service, HWND requester, HPnxDv device, uint16_t action) {
    return Enqueue(service, requester, device, kRequestDisconnect, 0, action, nullptr, 0, -1, "PnxDisconnectUsbDevice");
}

int QueueDisconnectAt(HWND service, HWND requester, HPnxDv device, uint16_t action, int position) {
    return Enqueue(service, requester, device, kRequestDisconnect, 0, action, nullptr, 0, position < 0 ? 0 : position,
                   "PnxDisconnectInterruption");
}

int QueueStepAnswer(HWND service, uint16_t step) {
    if (!QueueLive(service)) return 0;
    bool slept = false;
    {
        LibraryLock lock;
        if (g_queue.workerRunning && g_queue.runEvent) {
            g_queue.step = step;
            g_queue.stepGiven = true;
            SetEvent(g_queue.runEvent);
            slept = true;
        }
    }
    if (slept) Sleep(10);
    LogLine(service, "PnxConnectStart()");
    return 1;
}

int QueueHold(HWND service) {
    if (!QueueLive(service)) return 0;
    bool slept = false;
    {
        LibraryLock lock;
        if (g_queue.workerRunning && g_queue.runEvent) {
            ResetEvent(g_queue.runEvent);
            slept = true;
        }
    }
    if (slept) Sleep(10);
    LogLine(service, "PnxConnectStop()");
    return 1;
}

int QueueCancel(HWND service) {
    if (!QueueLive(service)) return 0;
    bool slept = false;
    {
        LibraryLock lock;
        if (!g_queue.requests.empty()) {
            g_queue.service = service;
            // The cancel ends the installation wait of the Result phase; a worker held by
            // PnxConnectStop stays held until the requester says how to go on.
            if (g_queue.workerRunning) {
                g_queue.cancel = 1;
                if (g_queue.cancelEvent) SetEvent(g_queue.cancelEvent);
                slept = true;
            }
        }
    }
    if (slept) Sleep(10);
    return 1;
}

int QueueEnumRequest(HWND service, int index, ConnectEnumItem* out) {
    if (!service || !out || index < 0) return 0;
    LibraryLock lock;
    if (!g_queue.list || static_cast<size_t>(index) >= g_queue.requests.size()) return 0;
    const ConnectRequest* r = g_queue.requests[static_cast<size_t>(index)];
    out->device = r->device;
    out->message = r->message;
    out->action = r->action;
    return 1;
}

int ChangeAutoConnect(HWND service, HPnxDv device, uint16_t type, bool set) {
    if (!service || !device) return 0;
    uint16_t bit = type == kActionAutoConnect ? kPendingAutoConnect : type == kActionApplication ? kPendingApplication : 0;
    LibraryLock lock;
    if (device->removed) return 0;
    if (set) device->pending |= bit;
    else device->pending &= static_cast<uint16_t>(~bit);
    return 1;
}
