#include "auto_printer.h"

#include <cstdio>
#include <new>

#include "automation_notify.h"
#include "automation_threads.h"
#include "automation_platform.h"
#include "device_entry.h"
#include "helper_pipe.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "log.h"
#include "messages.h"
#include "pnxscapi.h"
#include "usb_device_info.h"

namespace {

constexpr uint32_t kApRunning = 0x1;
constexpr uint32_t kApRenew = 0x2;
constexpr uint32_t kApSuspended = 0x4;
constexpr uint32_t kApRetry = 0x8;
constexpr uint32_t kApStopping = 0x10;  // the library ends: no more requests
constexpr uint16_t kConnectActionAutoPrinter = 3;
constexpr uint16_t kAutoPrinterReason = 3;

struct OpenPrinter {
    HANDLE printer = nullptr;
    HANDLE notification = INVALID_HANDLE_VALUE;
    uint32_t jobs = 0;
};

struct AutoPrinterRecord {
    DeviceEntry* device;
    HANDLE thread = nullptr;
    HANDLE control = nullptr;
    uint32_t flags = kApRunning;     // library lock
    uint32_t jobs = 0;               // library lock: the last sum
    bool manual = false;
    std::string manualNames;
    uint32_t manualCount = 0;
    std::vector<PrinterPair> pairs;
    HANDLE waitEvent = nullptr;      // library lock: "ZKSP%d" while a disconnect wait runs
    std::vector<OpenPrinter> open;   // thread only
    HWND logWindow = nullptr;
};

AutoPrinterRecord* RecordLocked(DeviceEntry* device) { return static_cast<AutoPrinterRecord*>(device->autoPrinter); }

std::string NameOf(DeviceEntry* device) {
    LibraryLock lock;
    return device->info && device->info->name ? device->info->name : "";
}

uint32_t Flags(AutoPrinterRecord* r) {
    LibraryLock lock;
    return r->flags;
}

void SendPairs(AutoPrinterRecord* r, uint16_t code) {
    for (const PrinterPair& p : r->pairs) HelperPipeSend(code, p.driver.c_str(), p.port.c_str());
}

void ClosePrinters(AutoPrinterRecord* r) {
    for (OpenPrinter& o : r->open) {
        Automation().unwatchPrinter(o.notification);
        Automation().closePrinter(o.printer);
    }
    r->open.clear();
}

bool Wanted(const AutoPrinterRecord* r, const LocalPrinter& p, const std::vector<std::string>& manual) {
    if (r->manual) {
        for (const std::string& name : manual) {
            if (_stricmp(name.c_str(), p.name.c_str()) == 0) return true;
        }
        return false;
    }
    for (const PrinterPair& pair : r->pairs) {
        if (pair.driver == p.driver && pair.port == p.port) return true;
    }
    return false;
}

// Opens the device's printers with their change notifications; the number opened.
size_t OpenPrinters(AutoPrinterRecord* r, bool reopen) {
    if (reopen) {
        SendPairs(r, kHelperPipeRemovePair);
        ClosePrinters(r);
    }
    std::vector<std::string> manual;
    if (r->manual) {
        size_t start = 0;
        for (uint32_t i = 0; i < r->manualCount && start <= r->manualNames.size(); ++i) {
            size_t comma = r->manualNames.find(',', start);
            manual.push_back(r->manualNames.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    for (const LocalPrinter& p : Automation().localPrinters()) {
        if (r->open.size() >= kMaxWatchedPrinters) break;
        if (!Wanted(r, p, manual)) continue;
        OpenPrinter o;
        o.printer = Automation().openPrinter(p.name);
        if (!o.printer) continue;
        o.notification = Automation().watchPrinter(o.printer);
        if (o.notification == INVALID_HANDLE_VALUE || !o.notification) {
            Automation().closePrinter(o.printer);
            continue;
        }
        o.jobs = Automation().firstJobBytes(o.printer);
        r->open.push_back(o);
    }
    SendPairs(r, kHelperPipeAddPair);
    return r->open.size();
}

uint32_t SumJobs(const AutoPrinterRecord* r) {
    uint32_t sum = 0;
    for (const OpenPrinter& o : r->open) sum += o.jobs;
    return sum;
}

uint16_t DeviceStatusLocked(DeviceEntry* device) {
    return device->info && !device->removed ? device->info->status : kDeviceStatusGetStatus;
}

// A suspended Auto Printer asks for nothing: the flag is read under the lock that Suspend sets
// it under, so that nothing is asked once Suspend has returned. The resume renews and asks then.
bool SuspendedLocked(const AutoPrinterRecord* r) { return (r->flags & kApSuspended) != 0; }

void Connect(AutoPrinterRecord* r) {
    LibraryLock lock;
    if (SuspendedLocked(r) || r->device->removed) return;
    uint16_t status = DeviceStatusLocked(r->device);
    if (status == kDeviceStatusFree) {
        NotifyAutoDevice(r->device, PNXET_CONNECT, kAutoPrinterReason);
    } else if (status != kDeviceStatusConnected) {
        r->device->pending |= kPendingAutoPrinter;
    }
}

// Reads every signalled notification; what changed: 1 jobs, 2 port, 3 deleted (highest wins).
int ReadChanges(AutoPrinterRecord* r) {
    int what = 0;
    for (OpenPrinter& o : r->open) {
        if (WaitForSingleObject(o.notification, 0) != WAIT_OBJECT_0) continue;
        PrinterChange change;
        if (!Automation().readChange(o.notification, &change)) continue;
        if (change.hasJobCount) o.jobs = change.jobCount;
        else if (change.jobsChanged) o.jobs = Automation().firstJobBytes(o.printer);
        if (change.deleted) what = 3;
        else if (change.portChanged && what < 2) what = 2;
        else if (change.jobsChanged && what < 1) what = 1;
    }
    return what;
}

// How a disconnect step ended.
enum class DisconnectOutcome {
    kDone,      // asked for, or not needed (printing again)
    kRetry,     // the device was being asked about: the retry bit is set
    kDeferred,  // suspended or renewed meanwhile: the old job count stands and the control
                // event decides what comes next
};

enum class WaitOutcome { kDisconnect, kStay, kDeferred };

// Waits the device's wait time before a disconnect.
WaitOutcome DisconnectWait(AutoPrinterRecord* r, uint32_t waitMs) {
    char name[32];
    snprintf(name, sizeof name, "ZKSP%lu", static_cast<unsigned long>(GetCurrentThreadId()));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, name);
    {
        LibraryLock lock;
        r->waitEvent = event;
        // A change of the flags that came before the wait event was named is heard too.
        if (event && WaitForSingleObject(r->control, 0) == WAIT_OBJECT_0) SetEvent(event);
    }
    // The wait event is set on its release and by every change of the flags (a suspend, a
    // renew, the end), which also set the control event. It comes first, so that those are seen
    // before any job change; with the printers it makes at most 64 handles.
    HANDLE wake = event ? event : r->control;
    WaitOutcome outcome = WaitOutcome::kDisconnect;
    for (;;) {
        std::vector<HANDLE> handles = {wake};
        for (const OpenPrinter& o : r->open) handles.push_back(o.notification);
        DWORD rc = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, waitMs);
        if (rc == WAIT_TIMEOUT || rc == WAIT_FAILED) break;
        if (rc == WAIT_OBJECT_0) {
            // Released or ended: the disconnect goes ahead. Suspended, renewed or the library
            // ending: the control event stays set for the watch loop, which decides.
            uint32_t flags = Flags(r);
            if ((flags & kApRunning) && (flags & (kApSuspended | kApRenew))) outcome = WaitOutcome::kDeferred;
            if (flags & kApStopping) outcome = WaitOutcome::kDeferred;
            break;
        }
        ReadChanges(r);
        if (SumJobs(r) > 0) {
            outcome = WaitOutcome::kStay;  // printing again: the device stays
            break;
        }
    }
    LibraryLock lock;
    r->waitEvent = nullptr;
    if (event) CloseHandle(event);
    return outcome;
}

DisconnectOutcome Disconnect(AutoPrinterRecord* r, bool retry) {
    uint32_t waitMs;
    {
        LibraryLock lock;
        waitMs = r->device->property ? r->device->property->waitTimer : 0;
    }
    if (waitMs) {
        WaitOutcome waited = DisconnectWait(r, waitMs);
        if (waited == WaitOutcome::kStay) return DisconnectOutcome::kDone;
        if (waited == WaitOutcome::kDeferred) return DisconnectOutcome::kDeferred;
    }
    LibraryLock lock;
    if (SuspendedLocked(r) || (r->flags & kApStopping)) return DisconnectOutcome::kDeferred;
    uint16_t status = DeviceStatusLocked(r->device);
    if (status == kDeviceStatusFree || status == kDeviceStatusConnected) {
        NotifyAutoDevice(r->device, PNXET_DISCONNECT, kAutoPrinterReason);
    } else if (status == kDeviceStatusGetStatus && retry) {
        r->flags |= kApRetry;
        SetEvent(r->control);
        return DisconnectOutcome::kRetry;
    }
    return DisconnectOutcome::kDone;
}

void StoreJobs(AutoPrinterRecord* r, uint32_t jobs) {
    LibraryLock lock;
    r->jobs = jobs;
}

void NoPrinters(AutoPrinterRecord* r) {
    {
        LibraryLock lock;
        if (!r->device->removed && r->device->property) {
            r->device->property->property &= static_cast<uint16_t>(~kPropertyAutomatic);
            r->device->property->printer &= static_cast<uint16_t>(~kPrinterManualList);
        }
    }
    NotifyDeviceChange(r->device, 2, "*** (Auto Printer) ***");
}

// The thread's wait loop; returns when the thread is to end.
void Watch(AutoPrinterRecord* r, uint32_t jobs) {
    const char* name = "";
    std::string device = NameOf(r->device);
    name = device.c_str();
    for (;;) {
        // Suspended, the thread hears only its control event: the printers' notices wait,
        // and the renew that the resume brings reads the printers afresh.
        std::vector<HANDLE> handles = {r->control};
        if (!(Flags(r) & kApSuspended)) {
            for (const OpenPrinter& o : r->open) handles.push_back(o.notification);
        }
        DWORD rc = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
        if (rc == WAIT_FAILED) return;
        if (rc == WAIT_OBJECT_0) {
            ResetEvent(r->control);
            uint32_t flags = Flags(r);
            if (!(flags & kApRunning)) return;
            if (flags & kApSuspended) continue;  // parked until resumed
            if (flags & kApRenew) {
                {
                    LibraryLock lock;
                    r->flags &= ~kApRenew;
                }
                if (OpenPrinters(r, true) == 0) return;
                uint32_t now = SumJobs(r);
                if (now) Connect(r);
                else if (jobs && Disconnect(r, false) == DisconnectOutcome::kDeferred) continue;  // the old count stands
                jobs = SumJobs(r);  // jobs that came during a disconnect wait keep counting
                StoreJobs(r, jobs);
            }
            if (flags & kApRetry) {
                {
                    LibraryLock lock;
                    r->flags &= ~kApRetry;
                }
                WaitForSingleObject(r->control, 100);  // the end cuts it short
            } else {
                continue;
            }
        }
        int what = ReadChanges(r);
        if (what == 1 || what == 0) {
            uint32_t now = SumJobs(r);
            LogLine(r->logWindow, "  ::: Auto Printer(%s): Jobs Count3(Old %u, New %u) :::", name, jobs, now);
            uint16_t action;
            {
                LibraryLock lock;
                action = r->device->connectAction;
            }
            if (jobs && !now && action == kConnectActionAutoPrinter) {
                if (Disconnect(r, true) != DisconnectOutcome::kDone) continue;  // asked again later: keep the old count
                // Jobs that ended the disconnect wait are counted, so that their end
                // disconnects the device in turn.
                now = SumJobs(r);
            } else if (!jobs && now) {
                Connect(r);
            }
            jobs = now;
            StoreJobs(r, jobs);
        } else if (OpenPrinters(r, true) == 0) {
            return;
        }
    }
}

DWORD WINAPI AutoPrinterMain(void* param) {
    auto* r = static_cast<AutoPrinterRecord*>(param);
    std::string name = NameOf(r->device);
    LogLine(r->logWindow, "  ::: Auto Printer(%s) :::", name.c_str());
    for (size_t i = 0; i < r->pairs.size(); ++i) {
        LogLine(r->logWindow, "    --> [%d] Driver: %s, Port: %s", static_cast<int>(i), r->pairs[i].driver.c_str(),
                r->pairs[i].port.c_str());
    }
    if (OpenPrinters(r, false) == 0) {
        NoPrinters(r);
    } else {
        uint32_t jobs = SumJobs(r);
        LogLine(r->logWindow, "  ::: Auto Printer(%s): Jobs Count1(Old %d, New %u) :::", name.c_str(), 0, jobs);
        StoreJobs(r, jobs);
        if (jobs) Connect(r);
        Watch(r, jobs);
    }
    SendPairs(r, kHelperPipeRemovePair);
    ClosePrinters(r);
    HWND server = r->logWindow;
    {
        LibraryLock lock;
        if (RecordLocked(r->device) == r) r->device->autoPrinter = nullptr;
        DropDeviceEntryLocked(r->device);
    }
    PostMessageA(server, PNXM_AUTO_PRINTER_END, 0, 0);
    AutomationThreadLeaving();
    CloseHandle(r->control);
    CloseHandle(r->thread);
    delete r;
    return 0;
}

// Every change of the flags wakes the thread, in its watch and in a disconnect wait.
void WakeLocked(AutoPrinterRecord* r) {
    SetEvent(r->control);
    if (r->waitEvent) SetEvent(r->waitEvent);
}

void SetFlags(DeviceEntry* device, uint32_t set, uint32_t clear) {
    LibraryLock lock;
    AutoPrinterRecord* r = RecordLocked(device);
    if (!r) return;
    r->flags = (r->flags | set) & ~clear;
    WakeLocked(r);
}

// The library's end: the thread ends without asking for anything more.
void StopPrinterThread(void* context) {
    auto* r = static_cast<AutoPrinterRecord*>(context);
    r->flags = (r->flags | kApStopping) & ~(kApRunning | kApSuspended);
    WakeLocked(r);
}

}  // namespace

bool StartAutoPrinter(DeviceEntry* device, std::vector<PrinterPair> pairs, bool manual, std::string manualNames,
                      uint32_t manualCount) {
    LibraryLock lock;
    if (device->removed || RecordLocked(device)) return true;
    auto* r = new (std::nothrow) AutoPrinterRecord{};
    if (!r) return false;
    r->device = device;
    r->logWindow = device->serverWindow;
    r->pairs = std::move(pairs);
    r->manual = manual;
    r->manualNames = std::move(manualNames);
    r->manualCount = manualCount;
    for (PrinterPair& p : r->pairs) {
        if (p.driver.size() > 255) p.driver.resize(255);
        if (p.port.size() > 31) p.port.resize(31);
    }
    r->control = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    r->thread = r->control ? StartAutomationThread(AutoPrinterMain, r, StopPrinterThread) : nullptr;
    if (!r->thread) {
        if (r->control) CloseHandle(r->control);
        delete r;
        return false;
    }
    HoldDeviceEntryLocked(device);
    device->autoPrinter = r;
    ResumeThread(r->thread);
    return true;
}

void EndAutoPrinter(DeviceEntry* device) {
    LibraryLock lock;
    AutoPrinterRecord* r = RecordLocked(device);
    if (!r) return;
    r->flags &= ~(kApRunning | kApSuspended);
    WakeLocked(r);
    // The thread ends by itself and lets go of the entry; the record is no longer the device's.
    device->autoPrinter = nullptr;
}

void SuspendAutoPrinter(DeviceEntry* device) { SetFlags(device, kApSuspended, 0); }
void ResumeAutoPrinter(DeviceEntry* device) { SetFlags(device, kApRenew, kApSuspended); }
void RenewAutoPrinter(DeviceEntry* device) {
    SetFlags(device, kApRenew, 0);
}

bool HasAutoPrinter(DeviceEntry* device) {
    LibraryLock lock;
    return RecordLocked(device) != nullptr;
}

bool AutoPrinterHasJobs(DeviceEntry* device) {
    LibraryLock lock;
    AutoPrinterRecord* r = RecordLocked(device);
    return r && r->jobs != 0;
}

void ReleaseAutoPrinterWait(DeviceEntry* device) {
    LibraryLock lock;
    AutoPrinterRecord* r = RecordLocked(device);
    if (r && r->waitEvent) SetEvent(r->waitEvent);
}
