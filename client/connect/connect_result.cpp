#include "connect_result.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "bus_driver.h"
#include "connect_command.h"
#include "connect_hooks.h"
#include "connect_queue.h"
#include "connect_target.h"
#include "connect_marks.h"
#include "device_entry.h"
#include "device_heap.h"
#include "device_list_parse.h"
#include "device_list_read.h"
#include "device_list_renew.h"
#include "device_printers.h"
#include "install_wait.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "lib_stop.h"
#include "log.h"
#include "pnxscapi.h"
#include "rwp_exchange.h"
#include "server_entry.h"
#include "server_names.h"
#include "settings_store.h"
#include "usb_device_info.h"
#include "warn_disconnect.h"

namespace {

constexpr size_t kListReplySize = 65536;
constexpr int kConfirmTries = 10;
constexpr DWORD kConfirmIntervalMs = 1000;
constexpr DWORD kInstallRepeatMs = 3000;
constexpr DWORD kFreedPortSettleMs = 3000;

DeviceListForm FormOfLevel(uint16_t level) {
    return level == 3 ? DeviceListForm::Ex : level >= 4 ? DeviceListForm::ExII : DeviceListForm::Plain;
}

// The server's current list, parsed. False when it did not answer.
bool FetchDeviceList(const ConnectTarget& target, ParsedDeviceList* list) {
    auto reply = std::make_unique<uint8_t[]>(kListReplySize);
    int length = RwpBlockingRequest(target.serverAddress, DeviceListCommand(target.level), reply.get(), kListReplySize,
                                    target.rwpPort);
    if (length < 0) return false;
    *list = ParseUsbDeviceList(reply.get(), static_cast<size_t>(length), FormOfLevel(target.level),
                               DeviceListContextOfWindow(target.serverWindow));
    return true;
}

const UsbDeviceInfo* FindDeviceInListReply(const ParsedDeviceList& list, const char* locations) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].locations && locations && _stricmp(list[i].locations, locations) == 0) return &list[i];
    }
    return nullptr;
}

void RefreshPcAddress(const ConnectTarget& target) {
    PcAddress pc = ComputePcAddress(target.serverAddress);
    bool changed = false;
    {
        LibraryLock lock;
        ServerEntry* server = ServerEntryOfWindow(target.serverWindow);
        if (!server || !server->record || server->record->closing) return;
        changed = StorePcAddressLocked(server->record, pc);
    }
    if (changed) {
        LogLine(target.serverWindow, "  *** Change PC Address(Connect) !! ***");
        LogLine(target.serverWindow, "    PC Address : %s", AddressText(pc.address).c_str());
        LogLine(target.serverWindow, "    SubnetMask : %s", AddressText(pc.mask).c_str());
        LogLine(target.serverWindow, "    Segment    : %s", AddressText(pc.segment).c_str());
    }
}

bool LastStatusCheck(DeviceEntry* device, bool connect, ConnectTarget* target) {
    HWND log = target->serverWindow;
    LogLine(log, "### Last Status Check : Start ###");
    if (connect) RefreshPcAddress(*target);
    ParsedDeviceList list;
    bool ok = false;
    if (FetchDeviceList(*target, &list)) {
        LibraryLock lock;
        if (!device->removed && device->info) {
            UsbDeviceInfo& info = *device->info;
            const UsbDeviceInfo* fresh = FindDeviceInListReply(list, info.locations);
            info.previousStatus = info.status;
            if (fresh) {
                info.status = fresh->status;
                info.userAddress = fresh->userAddress;
                // The server may have renamed the ports: the commands go by the names it holds now.
                const char* ports = info.ports;
                if (fresh->ports && (!ports || std::strcmp(ports, fresh->ports) != 0)) {
                    if (char* copy = DeviceStrDup(fresh->ports)) {
                        DeviceHeapFree(info.ports);
                        info.ports = copy;
                    }
                }
                ok = true;
            } else {
                info.status = kDeviceStatusNoDevice;
            }
        }
    }
    LogLine(log, "### Last Status Check : End ###");
    SnapshotDevice(device, target);
    return ok;
}

// 0, or the code that the ports held by the driver give (4 ours already, 5 cannot be freed).
uint16_t ForceDisconnectInterfaces(const ConnectRequest& request, ConnectTarget* target) {
    HWND log = target->serverWindow;
    bool connect = request.message == kRequestConnect;
    uint16_t recorded = 0;
    LogLine(log, "### Force Disconnect(Start) ###");
    for (size_t i = 0; i < target->UsableInterfaces(); ++i) {
        const std::string& location = target->locations[i];
        LogLine(log, "  Device Name : %s", target->name.c_str());
        LogLine(log, "  Port        : %s", target->ports[i].c_str());
        LogLine(log, "  Location    : %s", location.c_str());
        LogLine(log, "  IP Address  : %s", AddressText(target->serverAddress).c_str());
        PortStatus status = {};
        if (!QueryPortStatus(target->serverAddress, location.c_str(), &status, false)) {
            LogLine(log, "### Force Disconnect(End1) ###");
            return kResultForceDisconnectError;
        }
        bool ours = target->status == kDeviceStatusConnected;
        if (status.state != 0) {
            if (ours) {
                if (connect && recorded == 0) recorded = kResultUsedForYou;
                continue;
            }
            ForceReleasePort(target->serverAddress, location.c_str());
            if (!QueryPortStatus(target->serverAddress, location.c_str(), &status, false)) {
                LogLine(log, "### Force Disconnect(End2) ###");
                return kResultForceDisconnectError;
            }
            LogLine(log, "  Force Status: 0x%08x", status.state);
        } else if (connect && target->status != kDeviceStatusFree) {
            if (ours) {
                ConnectCommand command = FillConnectCommand(*target, i, false);
                int answer = SendConnectCommand(log, false, command, nullptr);
                bool ok = answer == kRwpAnswerOk;
                if (!ok && i > 0) {
                    LogLine(log, "  Disconnect is NG, but It is success!");
                    ok = true;
                }
                if (ok) {
                    {
                        LibraryLock lock;
                        if (!request.device->removed && request.device->info) {
                            UsbDeviceInfo& info = *request.device->info;
                            info.previousStatus = info.status;
                            info.previousStatusEx = info.statusEx;
                            info.status = kDeviceStatusFree;
                        }
                    }
                    target->status = kDeviceStatusFree;
                    if (SleepOrStop(kFreedPortSettleMs)) return kResultForceDisconnectError;
                } else if (recorded == 0) {
                    recorded = kResultForceDisconnectError;
                }
            } else if (recorded == 0) {
                recorded = kResultForceDisconnectError;
            }
        }
    }
    LogLine(log, "### Force Disconnect(End3) ###");
    return recorded;
}

void SendResult(const ConnectRequest& request, const ConnectTarget& target, uint16_t code, bool succeeded = false) {
    char fallback[16];
    if (succeeded) {
        LogLine(LogServiceWindow(), ">> SendMessage(Connect/Disconnect OK!! - %s) <<", target.name.c_str());
    } else {
        LogLine(LogServiceWindow(), ">> SendMessage(%s - %s) <<", target.name.c_str(),
                ConnectResultText(code, fallback, sizeof(fallback)));
    }
    SendPhase(request, kPhaseResult, code);
}

void SetPending(DeviceEntry* device, uint16_t bit) {
    LibraryLock lock;
    if (!device->removed) device->pending |= bit;
}

// After a command the server's own list tells whether it took effect.
uint16_t ConfirmWithServer(const ConnectRequest& request, const ConnectTarget& target, bool connect) {
    for (int attempt = 0; attempt < kConfirmTries; ++attempt) {
        // The library going away ends the polls; the command itself went through.
        if (attempt > 0 && SleepOrStop(kConfirmIntervalMs)) return kResultSuccess;
        ParsedDeviceList list;
        if (!FetchDeviceList(target, &list)) return kResultServerNotFound;
        std::string locations;
        {
            LibraryLock lock;
            if (request.device->removed || !request.device->info) return kResultSuccess;
            locations = request.device->info->locations ? request.device->info->locations : "";
        }
        const UsbDeviceInfo* fresh = FindDeviceInListReply(list, locations.c_str());
        if (fresh && (connect ? fresh->status == kDeviceStatusConnected
                              : fresh->status == kDeviceStatusFree || fresh->status == kDeviceStatusOtherPc)) {
            return kResultSuccess;
        }
    }
    if (connect) {
        LibraryLock lock;
        if (!request.device->removed) request.device->connectAction = 0;
    }
    return kResultSuccess;
}

void AfterSuccess(const ConnectRequest& request, const ConnectTarget& target, bool connect) {
    {
        LibraryLock lock;
        if (request.device->removed) return;
        request.device->pending = 0;
        if (!connect) request.device->connectAction = 0;
    }
    if (!connect) ReleaseAutoPrinterWaitHook(request.device);
    SettingsStore store = CurrentSettingsStore();
    if (store.kind != qz::SettingsLocation::kNone && !target.deviceKey.empty()) DeleteConnectMark(&store, target.deviceKey.c_str());
    if (!connect && request.action == kActionKeepAlive) WarnDisconnect(target.serverWindow, request.device);
}

void InstallationWait(const ConnectRequest& request, const ConnectTarget& target) {
    if (request.message != kRequestConnect || target.IsComPort()) return;
    if (ConnectCancelled()) {
        LogLine(target.serverWindow, "### Cancel Mode ON ###");
        return;
    }
    if (request.wait == kWaitConnection) {
        WaitDeviceInstalled(request.device);
    } else if (request.wait == kWaitCompleteInstall) {
        for (;;) {
            WaitDeviceInstalled(request.device);
            if (DeviceHasInstalledPrinter(request.device) || !DeviceStillListed(request.device)) break;
            if (WaitConnectCancel(kInstallRepeatMs)) break;
        }
    }
}

}  // namespace

const char* ConnectResultText(uint16_t code, char* fallback, size_t capacity) {
    static const char* const kTexts[] = {"", "Server isn't Found.", "Device isn't Found.", "Device's check went wrong.",
                                         "Device used for you.", "Force Disconnect is Error.",
                                         "Connect/Disconnect is Error.", "Printer Job is Found.",
                                         "Device used for Other user.", "The server denied."};
    if (code <= 9) return kTexts[code];
    snprintf(fallback, capacity, "0x%04x.", code);
    return fallback;
}

// Every way through the Result phase ends with the End phase, failures as well: the requester
// shows the outcome there. Only a device that went has no End.
uint16_t FinishConnectAction(const ConnectRequest& request) {
    bool connect = request.message == kRequestConnect;
    ConnectTarget target;
    if (!SnapshotDevice(request.device, &target)) return 0;
    bool checked = LastStatusCheck(request.device, connect, &target);
    if (!DeviceStillListed(request.device)) return 0;
    uint16_t code = kResultSuccess;
    bool go = true;
    if (connect) {
        if (!checked) code = kResultServerNotFound;
        switch (target.status) {
        case kDeviceStatusGetStatus:
        case kDeviceStatusNoDevice:
        case kDeviceStatusError: code = kResultDeviceNotFound; go = false; break;
        case kDeviceStatusOtherPc: code = kResultCheckFailed; go = false; break;
        default: go = code != kResultServerNotFound; break;
        }
    }
    if (!go) {
        if (request.action == kActionAutoPrinter) SetPending(request.device, kPendingAutoPrinter);
        else if (request.action != kActionKeepAlive) SendResult(request, target, code);
        return kPhaseEnd;
    }
    uint16_t forced = ForceDisconnectInterfaces(request, &target);
    if (forced == kResultForceDisconnectError) {
        if (request.action == kActionAutoPrinter) SetPending(request.device, kPendingAutoPrinter);
        else if (request.action != kActionKeepAlive) SendResult(request, target, forced);
        return kPhaseEnd;
    }
    if (forced == kResultUsedForYou) {
        SendResult(request, target, forced);
        InstallationWait(request, target);
        return kPhaseEnd;
    }
    if (!DeviceStillListed(request.device)) return 0;
    // Still printing: an automatic disconnect waits for the jobs.
    if (!connect && request.action == kActionAutoPrinter && AutoPrinterHasJobsHook(request.device)) return kPhaseEnd;
    bool ok = RunConnectDisconnect(request, target, &code);
    {
        LibraryLock lock;
        if (!request.device->removed && request.device->info) {
            request.device->info->previousStatus = request.device->info->status;
            request.device->info->status = kDeviceStatusGetStatus;
        }
    }
    if (!ok) {
        if (request.action == kActionAutoPrinter) {
            if (connect) SetPending(request.device, kPendingAutoPrinter);
            return kPhaseEnd;
        }
        if (request.action == kActionKeepAlive) return kPhaseEnd;
        SendResult(request, target, code);
        return kPhaseEnd;
    }
    AfterSuccess(request, target, connect);
    code = kResultSuccess;
    if (!connect || target.IsComPort()) code = ConfirmWithServer(request, target, connect);
    SendResult(request, target, code, true);
    InstallationWait(request, target);
    return kPhaseEnd;
}

uint8_t GetDeviceComPort(HWND log, DeviceEntry* device) {
    ConnectTarget target;
    if (!SnapshotDevice(device, &target) || !target.IsComPort()) return 0;
    if (target.comPort) return target.comPort;
    LogLine(log, "### COM Port: %s(%s) -> Start ###", target.name.c_str(), target.locations[0].c_str());
    PortStatus status = {};
    uint8_t com = 0;
    if (QueryPortStatus(target.serverAddress, target.locations[0].c_str(), &status, true)) {
        com = status.comPort;
        LogLine(log, "  Get COM Port: COM%d.", com);
        LibraryLock lock;
        if (!device->removed && device->info) device->info->comPort = com;
    }
    LogLine(log, "### COM Port (End) ###");
    return com;
}
