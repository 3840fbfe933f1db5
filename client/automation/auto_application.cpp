#include "auto_application.h"

#include <cstring>
#include <memory>
#include <new>

#include "automation_notify.h"
#include "automation_threads.h"
#include "automation_platform.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "lib_stop.h"
#include "lib_state.h"
#include "log.h"
#include "messages.h"
#include "pnxscapi.h"
#include "usb_device_info.h"
#include "watch_state.h"

namespace {

constexpr uint32_t kAppRunning = 0x1;
constexpr uint32_t kAppPaused = 0x2;
constexpr DWORD kAppRoundMs = 3000;

// PropertyInfo::application bits.
constexpr uint16_t kAppStartWhenUsed = 0x1;
constexpr uint16_t kAppDisconnectWhenEnded = 0x4;
constexpr uint16_t kAppReportStart = 0x100;
constexpr uint16_t kAppReportEnd = 0x200;

struct AutoApplicationRecord {
    HWND logWindow;
    DeviceEntry* device;
    uint32_t flags;  // library lock
    HANDLE thread;
    HANDLE wake;
};

AutoApplicationRecord* RecordLocked(DeviceEntry* device) {
    return static_cast<AutoApplicationRecord*>(device->autoApplication);
}

// What one round needs of the device, copied under the lock.
struct RoundView {
    bool usable = false;
    std::vector<std::string> paths;
    uint16_t application = 0;
    uint16_t status = 0;
    std::string name;
};

RoundView ViewOf(DeviceEntry* device) {
    RoundView v;
    LibraryLock lock;
    if (device->removed || !device->info || !device->property) return v;
    v.usable = true;
    v.paths = ApplicationPaths(device->property->applicationList, device->property->applicationSize);
    v.application = device->property->application;
    v.status = device->info->status;
    v.name = device->info->name ? device->info->name : "";
    return v;
}


// The library's end: the thread ends at its next look.
void StopApplicationThread(void* context) {
    auto* record = static_cast<AutoApplicationRecord*>(context);
    record->flags &= ~kAppRunning;
    SetEvent(record->wake);
}

DWORD WINAPI AutoApplicationMain(void* param) {
    auto* record = static_cast<AutoApplicationRecord*>(param);
    LogLine(record->logWindow, "  ::: Auto Application(%s) :::", ViewOf(record->device).name.c_str());
    AutoApplicationState state;
    for (bool first = true;; first = false) {
        if (!first && WaitOrStop(record->wake, kAppRoundMs) == WAIT_OBJECT_0 + 1) break;  // the library ends
        uint32_t flags;
        {
            LibraryLock lock;
            flags = record->flags;
        }
        if (!(flags & kAppRunning)) break;
        if (flags & kAppPaused) continue;
        if (!ViewOf(record->device).usable) break;
        AutoApplicationRound(record->logWindow, record->device, &state);
    }
    HWND service;
    {
        LibraryLock lock;
        if (RecordLocked(record->device) == record) record->device->autoApplication = nullptr;
        service = g_lib.serviceWindow;
    }
    AutomationThreadLeaving();
    CloseHandle(record->wake);
    CloseHandle(record->thread);
    DeviceEntry* device = record->device;
    delete record;
    // The service window lets go of the entry: a deleted row's entry is freed only now.
    if (!service || !PostMessageA(service, PNXM_FREE_DEVICE_COPY, 0, reinterpret_cast<LPARAM>(device))) {
        LibraryLock lock;
        DropDeviceEntryLocked(device);
    }
    return 0;
}

void SetFlags(DeviceEntry* device, uint32_t set, uint32_t clear, bool wake) {
    LibraryLock lock;
    AutoApplicationRecord* record = RecordLocked(device);
    if (!record) return;
    record->flags = (record->flags | set) & ~clear;
    if (wake) SetEvent(record->wake);
}

}  // namespace

std::vector<std::string> ApplicationPaths(const uint8_t* list, uint32_t size) {
    std::vector<std::string> paths;
    if (!list) return paths;
    size_t at = 0;
    while (at < size) {
        const char* start = reinterpret_cast<const char*>(list + at);
        size_t length = strnlen(start, size - at);
        if (length == 0) break;
        paths.emplace_back(start, length);
        at += length + 1;
    }
    return paths;
}

std::string ResolveApplication(const std::string& path) {
    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && _stricmp(path.c_str() + dot, ".exe") == 0) return path;
    std::string program = Automation().associatedProgram(path);
    return program.empty() ? path : program;
}

void AutoApplicationRound(HWND serverWindow, DeviceEntry* device, AutoApplicationState* state) {
    RoundView v = ViewOf(device);
    if (!v.usable || v.paths.empty()) return;
    size_t sum = 0;
    for (const std::string& path : v.paths) {
        std::string program = ResolveApplication(path);
        LibraryLock lock;
        sum += CountProcessesLocked(program);
    }
    if (sum != state->lastSum) {
        if (sum > state->lastSum && (v.application & kAppReportStart)) NotifyApplication(device, PNXET_CONNECT);
        if (sum == 0 && (v.application & kAppReportEnd)) NotifyApplication(device, PNXET_DISCONNECT);
        state->lastSum = sum;
    }
    if (!(v.application & kAppStartWhenUsed)) return;
    if (v.status == kDeviceStatusFree) {
        state->started = false;
    } else if (v.status == kDeviceStatusConnected) {
        if (sum > 0) {
            state->started = true;
        } else if (!state->started) {
            for (const std::string& path : v.paths) {
                auto* copy = new (std::nothrow) char[path.size() + 1];
                if (!copy) continue;
                memcpy(copy, path.c_str(), path.size() + 1);
                if (!PostMessageA(serverWindow, PNXM_RUN_APPLICATION, 0, reinterpret_cast<LPARAM>(copy))) delete[] copy;
            }
            state->started = true;
        } else if (v.application & kAppDisconnectWhenEnded) {
            NotifyAutoDevice(device, PNXET_DISCONNECT, 2);
            LogLine(serverWindow, "  ::: Auto Application(%s): End ::: ", v.name.c_str());
            state->started = false;
        }
    }
}

bool StartAutoApplication(HWND serverWindow, DeviceEntry* device) {
    LibraryLock lock;
    if (device->removed || RecordLocked(device)) return true;
    auto* record = new (std::nothrow) AutoApplicationRecord{serverWindow, device, kAppRunning, nullptr, nullptr};
    if (!record) return false;
    record->wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Created suspended, so that the record is complete before the thread reads it.
    record->thread = record->wake ? StartAutomationThread(AutoApplicationMain, record, StopApplicationThread) : nullptr;
    if (!record->thread) {
        if (record->wake) CloseHandle(record->wake);
        delete record;
        return false;
    }
    HoldDeviceEntryLocked(device);
    device->autoApplication = record;
    ResumeThread(record->thread);
    return true;
}

void StopAutoApplication(DeviceEntry* device) { SetFlags(device, 0, kAppRunning, true); }
void PauseAutoApplication(DeviceEntry* device) { SetFlags(device, kAppPaused, 0, false); }
void ResumeAutoApplication(DeviceEntry* device) { SetFlags(device, 0, kAppPaused, false); }

void RunAutoApplication(HWND serverWindow, LPARAM param) {
    std::unique_ptr<char[]> path(reinterpret_cast<char*>(param));
    if (!path) return;
    LogLine(serverWindow, "  ::: Auto Application Execute: %s ::: ", path.get());
    DWORD error = 0;
    bool waitFailed = false;
    if (!Automation().launch(path.get(), &error, &waitFailed)) {
        if (waitFailed) LogLine(serverWindow, "    --> Application Wait Error(%lu).", static_cast<unsigned long>(error));
        else LogLine(serverWindow, "    --> Application Start Error(%lu).", static_cast<unsigned long>(error));
    }
}
