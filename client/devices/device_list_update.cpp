#include "device_list_update.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device_compare.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "live_session.h"
#include "log.h"
#include "messages.h"
#include "notify.h"
#include "server_entry.h"
#include "text_util.h"
#include "win_handles.h"

namespace {

DeviceListHooks g_hooks;

bool QueuedForDevice(const DeviceEntry* device) {
    return g_hooks.deviceQueued && g_hooks.deviceQueued(device);
}

uint8_t AskComPort(DeviceEntry* device) {
    return g_hooks.refreshComPort ? g_hooks.refreshComPort(device) : 0;
}

void AskIdsQuick(HWND logWindow, DeviceEntry* device) {
    if (g_hooks.refreshIdsQuick) g_hooks.refreshIdsQuick(logWindow, device);
}

void WarnOfDisconnect(HWND serverWindow, DeviceEntry* device) {
    if (g_hooks.warnDisconnect) g_hooks.warnDisconnect(serverWindow, device);
}

void UpdateServerStatus(HWND serverWindow, int type) {
    if (g_hooks.serverStatus) g_hooks.serverStatus(serverWindow, type, true);
}

constexpr uint16_t kChangeStatus = kDeviceChangeStatus;
constexpr uint16_t kChangeStatusAndFunction = kDeviceChangeStatus | kDeviceChangeFunction;
constexpr int kServerStatusUpdateNoDevice = 1;
constexpr int kServerStatusUpdateDevices = 2;

// What one update knows about its server and gathers on its way.
struct UpdatePass {
    HWND window = nullptr;
    ServerEntry* entry = nullptr;
    uint16_t level = 0;
    uint16_t serverOption = 0;
    ParsedDeviceList* fresh = nullptr;
    AutoDeviceCandidates* lists = nullptr;
    SeenDevices seen;
    std::vector<DeviceChangeRecord> records;
    std::vector<DeviceEntry*> nameLookups;  // devices of another PC whose name is looked up
};

void QueueLocked(UpdatePass& pass, DeviceEntry* device, uint16_t kind, uint16_t flags, const char* text) {
    DeviceChangeRecord record;
    if (FillChangeRecord(&record, device, kind, flags, text, nullptr)) pass.records.push_back(record);
}

void SendQueued(HWND window, std::vector<DeviceChangeRecord>& records) {
    NotifyDevices(window, records.data(), records.size());
    records.clear();
}

std::string DottedText(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address & 0xFF, (address >> 8) & 0xFF, (address >> 16) & 0xFF,
                  (address >> 24) & 0xFF);
    return text;
}

void SetUserPcName(UsbDeviceInfo* info, const std::string& name) {
    CopyCut(name, info->userPcName);
}

bool IsComDevice(const DeviceEntry* device) { return IsComPortLocation(device->info->locations); }

// A serial device is worth connecting when its port can be opened, or when Windows does not
// know the port at all (it appears with the connect).
bool ComPortOpenable(uint8_t comPort) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\COM%u", static_cast<unsigned>(comPort));
    qz::FileHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// A device this PC uses, whose connection the bus driver lost, is disconnected on purpose so
// that the client learns of it; the mark is consumed here whatever else the reply changed.
void TakeKeepAliveLossLocked(UpdatePass& pass, DeviceEntry* device) {
    if (device->keepAliveLost && device->info->status == kDeviceStatusConnected) {
        AddCandidate(pass.lists->disconnect, device, kAutoReasonKeepAlive);
        device->keepAliveLost = 0;
    }
}

void LogKnownDevices(HWND window) {
    struct Line {
        std::string name, ports, locations, status, statusEx, user, function, serial;
        uint16_t vid, pid;
    };
    std::vector<Line> lines;
    {
        LibraryLock lock;
        for (DeviceEntry* device : DeviceEntriesLocked(window)) {
            const UsbDeviceInfo* info = device->info;
            if (!info) continue;
            char status[64] = {}, action[64] = {}, statusEx[64] = {}, function[64] = {};
            DeviceStatusText(info->status, status, sizeof status);
            if (info->status != kDeviceStatusFree && device->connectAction &&
                DeviceEventText(PNXET_CONNECT, device->connectAction, action, sizeof action)) {
                CopyCut(std::string(status) + " (" + action + ")", status);
            }
            DeviceStatusExText(info->statusEx, statusEx, sizeof statusEx);
            DeviceFunctionText(info->function, function, sizeof function);
            lines.push_back({info->name ? info->name : "", info->ports ? info->ports : "",
                             info->locations ? info->locations : "", status, statusEx, DottedText(info->userAddress),
                             function, info->serial ? info->serial : "Nothing.", info->vid, info->pid});
        }
    }
    LogLine(window, "  *-*-* Memory Device(%d) *-*-*", static_cast<int>(lines.size()));
    for (const Line& l : lines) {
        LogLine(window, "  %s", l.name.c_str());
        LogLine(window, "    Port      : %s", l.ports.c_str());
        LogLine(window, "    Location  : %s", l.locations.c_str());
        LogLine(window, "    VID/PID   : 0x%04X / 0x%04X", l.vid, l.pid);
        LogLine(window, "    Status    : %s", l.status.c_str());
        LogLine(window, "    StatusEx  : %s", l.statusEx.c_str());
        LogLine(window, "    UseIpAddr : %s", l.user.c_str());
        LogLine(window, "    Function  : %s", l.function.c_str());
        LogLine(window, "    Serial    : %s", l.serial.c_str());
    }
}

// --- Known devices.

// The first fresh record that is the device; -1 when none. A record that only partly shares
// the device's locations is a regrouped composite device: the old row is marked to go.
int MatchKnownDeviceLocked(UpdatePass& pass, DeviceEntry* device) {
    bool partial = false;
    for (size_t i = 0; i < pass.fresh->size(); ++i) {
        int overlap = 0;
        if (IsSameDevice(pass.level, *device->info, (*pass.fresh)[i], &overlap)) return static_cast<int>(i);
        partial = partial || overlap == 1;
    }
    if (partial) {
        device->deleteMark = 1;
        pass.entry->record->deviceDeleteMark = true;
    }
    return -1;
}

// Puts a free device that waits for a connect of its own on the connect list, unless the
// queue already holds a request for it.
void OfferWaitingDeviceLocked(UpdatePass& pass, DeviceEntry* device, uint16_t reason) {
    if (QueuedForDevice(device)) return;
    AddCandidate(pass.lists->connect, device, reason);
    if (pass.serverOption) AddCandidate(pass.lists->serverOption, device, reason);
}

void UnchangedDevice(UpdatePass& pass, DeviceEntry* device) {
    uint8_t comPort;
    bool com, waitsForPort, asksForPort;
    {
        LibraryLock lock;
        QueueLocked(pass, device, 0, 0, "*** (Same Device1) ***");
        com = IsComDevice(device);
        comPort = device->info->comPort;
        waitsForPort = com && device->info->status == kDeviceStatusFree && comPort &&
                       (device->pending & kPendingAutoConnect);
        asksForPort = com && device->info->status == kDeviceStatusConnected && !comPort;
    }
    bool portReady = waitsForPort && ComPortOpenable(comPort);
    bool portFound = asksForPort && AskComPort(device) != 0;
    if (!com) AskIdsQuick(pass.window, device);
    LibraryLock lock;
    if (portReady && !QueuedForDevice(device)) {
        AddCandidate(pass.lists->connect, device, kAutoReasonAutoConnect);
    }
    if (portFound) QueueLocked(pass, device, PNXET_CHANGE, kDeviceChangePcName, "*** (Same Device1-2) ***");
    if ((device->pending & kPendingApplication) && device->info->status == kDeviceStatusFree &&
        !QueuedForDevice(device)) {
        AddCandidate(pass.lists->connect, device, kAutoReasonApplication);
        device->pending &= static_cast<uint16_t>(~kPendingApplication);
    }
}

// The new status is free: after a loss the device may be due for a reconnect.
void BecameFree(UpdatePass& pass, DeviceEntry* device, uint16_t previousStatus) {
    uint16_t action;
    {
        LibraryLock lock;
        action = device->connectAction;
    }
    if ((previousStatus == kDeviceStatusGetStatus || previousStatus == kDeviceStatusConnected) && action) {
        WarnOfDisconnect(pass.window, device);
    }
    uint16_t pending;
    uint8_t comPort = 0;
    bool com;
    {
        LibraryLock lock;
        pending = device->pending;
        com = IsComDevice(device);
        comPort = device->info->comPort;
        SetUserPcName(device->info, "");
        if (!pending || QueuedForDevice(device)) return;
    }
    if (com && comPort && !ComPortOpenable(comPort)) return;
    if (com && !comPort) AskComPort(device);
    uint16_t reason = (pending & kPendingAutoPrinter) && !(pending & kPendingAutoConnect) ? kAutoReasonAutoPrinter
                                                                                          : kAutoReasonAutoConnect;
    if (pending & kPendingApplication) reason = kAutoReasonApplication;
    LibraryLock lock;
    OfferWaitingDeviceLocked(pass, device, reason);
}

void ChangedDevice(UpdatePass& pass, DeviceEntry* device, const UsbDeviceInfo& fresh) {
    uint16_t previousStatus, status, action;
    uint32_t previousUser;
    bool askPort;
    {
        LibraryLock lock;
        UsbDeviceInfo* info = device->info;
        previousUser = info->userAddress;
        UpdateDeviceRecord(pass.level, info, fresh);
        previousStatus = info->previousStatus;
        status = info->status;
        action = device->connectAction;
        askPort = IsComDevice(device) && status == kDeviceStatusConnected && !info->comPort;
    }
    if (askPort && AskComPort(device)) {
        LibraryLock lock;
        QueueLocked(pass, device, PNXET_CHANGE, kDeviceChangePcName, "*** (Same Device1-3) ***");
    } else if (!askPort) {
        bool com;
        {
            LibraryLock lock;
            com = IsComDevice(device);
        }
        if (!com) AskIdsQuick(pass.window, device);
    }
    bool warn = false;
    if (status == kDeviceStatusFree) {
        BecameFree(pass, device, previousStatus);
    } else if (status == kDeviceStatusOtherPc) {
        LibraryLock lock;
        UsbDeviceInfo* info = device->info;
        if (info->userAddress != previousUser) SetUserPcName(info, "");
        if (!info->userPcName[0]) {
            SetUserPcName(info, DottedText(info->userAddress));
            pass.nameLookups.push_back(device);
        }
        warn = previousStatus == kDeviceStatusConnected && action;
    } else if (status != kDeviceStatusConnected) {
        LibraryLock lock;
        SetUserPcName(device->info, "");
        warn = previousStatus == kDeviceStatusConnected && action;
    }
    if (warn) WarnOfDisconnect(pass.window, device);
    LibraryLock lock;
    bool sameFunction = device->info->function == device->info->previousFunction;
    QueueLocked(pass, device, PNXET_CHANGE, sameFunction ? kChangeStatus : kChangeStatusAndFunction,
          "*** (Same Device2) ***");
}

void UpdateKnownDevice(UpdatePass& pass, DeviceEntry* device) {
    int match;
    bool changed;
    {
        LibraryLock lock;
        if (!DeviceListedLocked(pass.window, device) || !device->info) return;
        match = MatchKnownDeviceLocked(pass, device);
        if (match < 0) return;
        UsbDeviceInfo* info = device->info;
        info->previousStatus = info->status;
        info->previousStatusEx = info->statusEx;
        info->previousFunction = info->function;
        pass.seen.insert(device);
        changed = IsDeviceChanged(pass.level, *info, (*pass.fresh)[match]);
    }
    if (changed) {
        ChangedDevice(pass, device, (*pass.fresh)[match]);
    } else {
        UnchangedDevice(pass, device);
    }
    LibraryLock lock;
    TakeKeepAliveLossLocked(pass, device);
}

void UpdateExistingDevices(UpdatePass& pass) {
    std::vector<DeviceEntry*> known;
    {
        LibraryLock lock;
        known = DeviceEntriesLocked(pass.window);
    }
    // Rows are only deleted on this thread, and not before the missing-device pass below.
    for (DeviceEntry* device : known) UpdateKnownDevice(pass, device);
    SendQueued(pass.window, pass.records);
    MarkDevicesMissing(pass.window, MissingMode::NoDevice, kDeviceStatusNoDevice, &pass.seen);
}

// --- New devices.

bool MatchesRowLocked(UpdatePass& pass, const UsbDeviceInfo& record) {
    bool matched = false;
    for (DeviceEntry* device : DeviceEntriesLocked(pass.window)) {
        if (device->info && IsSameDevice(pass.level, *device->info, record, nullptr)) {
            pass.seen.insert(device);
            matched = true;
        }
    }
    return matched;
}

void AddNewDeviceLocked(UpdatePass& pass, const UsbDeviceInfo& record) {
    if (MatchesRowLocked(pass, record)) return;
    DeviceEntry* device = CreateDeviceEntryLocked(pass.window, *pass.entry->record->info, record);
    if (!device) return;
    pass.seen.insert(device);
    UsbDeviceInfo* info = device->info;
    uint16_t property = device->property ? device->property->property : 0;
    bool automatic = (property & kPropertyAutomatic) && (property & kPropertyAutoConnect);
    if (info->status == kDeviceStatusFree) {
        if ((device->pending & kPendingAutoConnect) || automatic)
            OfferWaitingDeviceLocked(pass, device, kAutoReasonAutoConnect);
        SetUserPcName(info, "");
    } else if (info->status == kDeviceStatusOtherPc) {
        SetUserPcName(info, DottedText(info->userAddress));
        pass.nameLookups.push_back(device);
        if (automatic) device->pending |= kPendingAutoConnect;
    } else {
        SetUserPcName(info, "");
    }
    QueueLocked(pass, device, PNXET_NEW, 0, "*** (New Device) ***");
}

void AddNewDevices(UpdatePass& pass) {
    {
        LibraryLock lock;
        for (size_t i = 0; i < pass.fresh->size(); ++i) AddNewDeviceLocked(pass, (*pass.fresh)[i]);
    }
    SendQueued(pass.window, pass.records);
}

// --- After the lists.

// Display adapters lose their picture when cut off: their server watches how long the bus
// driver has been without them.
void StartBlackoutWatch(HWND window, ServerEntry* entry) {
    bool any = false;
    {
        LibraryLock lock;
        if (!entry->record->blackoutWatch) return;
        for (DeviceEntry* device : DeviceEntriesLocked(window)) {
            const UsbDeviceInfo* info = device->info;
            if (!info) continue;
            std::string name = info->name ? info->name : "";
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            if (IsDisplayLinkDevice(info->vid, info->pid) || name.find("displaylink") != std::string::npos) {
                device->blackoutWatch = 1;
            }
            any = any || device->blackoutWatch;
        }
    }
    if (any && g_hooks.startBlackout) g_hooks.startBlackout(window);
}

}  // namespace

void UpdateDeviceList(HWND window, ParsedDeviceList& fresh, AutoDeviceCandidates& lists) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return;
    UpdatePass pass;
    pass.window = window;
    pass.entry = entry;
    pass.fresh = &fresh;
    pass.lists = &lists;
    {
        LibraryLock lock;
        if (!entry->record || !entry->record->info) return;
        pass.level = entry->record->info->rwpLevel;
        pass.serverOption = entry->record->callerOption;
    }
    if (LogFlags()) LogKnownDevices(window);
    if (fresh.empty()) {
        ClearDeviceList(window);
        UpdateServerStatus(window, kServerStatusUpdateNoDevice);
        return;
    }
    UpdateServerStatus(window, kServerStatusUpdateDevices);
    // The client's handlers run inside every send and may end this server (or the service):
    // look again after each batch before touching the entry.
    if (!SessionAlive(window, entry)) return;
    UpdateExistingDevices(pass);
    if (!SessionAlive(window, entry)) return;
    AddNewDevices(pass);
    if (!SessionAlive(window, entry)) return;
    {
        LibraryLock lock;
        if (g_lib.options & kRegisterOptionNewDeviceAutoConnect) CollectAutoConnectDevicesLocked(window, lists);
        if (pass.serverOption) FilterAutoConnectDevicesLocked(window, pass.serverOption, lists);
        for (DeviceEntry* device : DeviceEntriesLocked(window)) device->keepAliveLost = 0;
    }
    StartBlackoutWatch(window, entry);
    std::vector<DeviceEntry*> lookups;
    {
        LibraryLock lock;
        for (DeviceEntry* device : pass.nameLookups) {
            if (DeviceListedLocked(window, device)) lookups.push_back(device);
        }
    }
    for (DeviceEntry* device : lookups) PostMessageA(window, PNXM_OTHER_PC_NAME, reinterpret_cast<WPARAM>(device), 0);
    if (g_hooks.listUpdated) g_hooks.listUpdated(window);
}

void SetDeviceListHooks(const DeviceListHooks& hooks) {
    g_hooks = hooks;
}

namespace {

const char* MissingModeText(MissingMode mode) {
    switch (mode) {
    case MissingMode::TimeOut:
        return "*** (Time Out) ***";
    case MissingMode::ZeroDevice:
        return "*** (Zero Device) ***";
    default:
        return "*** (No Device) ***";
    }
}

struct MissingPass {
    std::vector<DeviceEntry*> takingPart;
    std::vector<DeviceEntry*> warn;
    std::vector<DeviceChangeRecord> records;
};

void MarkMissingLocked(HWND window, MissingMode mode, uint16_t status, const SeenDevices* seen, MissingPass& pass) {
    const char* text = MissingModeText(mode);
    for (DeviceEntry* device : DeviceEntriesLocked(window)) {
        UsbDeviceInfo* info = device->info;
        if (!info) continue;
        if (mode == MissingMode::NoDevice && seen && seen->count(device)) continue;
        pass.takingPart.push_back(device);
        uint16_t previous = info->status;
        info->previousStatus = previous;
        info->previousStatusEx = info->statusEx;
        info->status = status;
        info->userPcName[0] = '\0';
        device->keepAliveLost = 0;
        bool lost = (previous == kDeviceStatusGetStatus || previous == kDeviceStatusConnected) && device->connectAction;
        if (lost) pass.warn.push_back(device);
        if (!lost && previous == status && (status == kDeviceStatusNoDevice || status == kDeviceStatusError)) continue;
        DeviceChangeRecord record;
        if (FillChangeRecord(&record, device, PNXET_CHANGE, kChangeStatus, text, nullptr)) pass.records.push_back(record);
    }
}

void DoomLocked(DeviceEntry* device, const char* text, std::vector<DeviceEntry*>& doomed,
          std::vector<DeviceChangeRecord>& records) {
    if (std::find(doomed.begin(), doomed.end(), device) != doomed.end()) return;
    doomed.push_back(device);
    DeviceChangeRecord record;
    if (FillChangeRecord(&record, device, PNXET_DELETE, 0, text, nullptr)) records.push_back(record);
}

}  // namespace

void MarkDevicesMissing(HWND window, MissingMode mode, uint16_t status, const SeenDevices* seen) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return;
    MissingPass pass;
    {
        LibraryLock lock;
        if (!entry->record) return;
        MarkMissingLocked(window, mode, status, seen, pass);
    }
    for (DeviceEntry* device : pass.warn) WarnOfDisconnect(window, device);
    SendQueued(window, pass.records);
    if (!SessionAlive(window, entry)) return;
    std::vector<DeviceEntry*> doomed;
    std::vector<DeviceChangeRecord> deletions;
    {
        LibraryLock lock;
        if (!entry->record) return;
        if (entry->record->deviceDeleteMark) {
            entry->record->deviceDeleteMark = false;
            for (DeviceEntry* device : DeviceEntriesLocked(window)) {
                if (device->deleteMark) DoomLocked(device, MissingModeText(mode), doomed, deletions);
            }
        }
        if (entry->record->removeMissing) {
            for (DeviceEntry* device : pass.takingPart) {
                if (DeviceListedLocked(window, device)) DoomLocked(device, MissingModeText(mode), doomed, deletions);
            }
        }
    }
    if (doomed.empty()) return;
    SendQueued(window, deletions);
    LibraryLock lock;
    // The client's handlers ran in between: delete only rows that are still there.
    for (DeviceEntry* device : doomed) DeleteDeviceRowLocked(window, device);
}

void ClearDeviceList(HWND window) {
    MarkDevicesMissing(window, MissingMode::ZeroDevice, kDeviceStatusNoDevice, nullptr);
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry || !SessionAlive(window, entry)) return;
    bool empty;
    {
        LibraryLock lock;
        if (!entry->record) return;
        if (!entry->record->keepRemoveMissing) entry->record->removeMissing = false;
        empty = DeviceEntriesLocked(window).empty();
    }
    if (empty) LogLine(window, "  Device Nothing");
}
