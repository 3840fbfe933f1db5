#include "connect_command.h"

#include <winsock2.h>
#include <shlwapi.h>

#include <cstring>

#include "address_record.h"
#include "bus_driver.h"
#include "device_compare.h"
#include "notify.h"
#include "connect_queue.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "log.h"
#include "os_info.h"
#include "rwp_commands.h"
#include "rwp_exchange.h"
#include "rwp_packet.h"
#include "safe_removal.h"
#include "usb_device_info.h"

namespace {

constexpr int kMaxDriverRetries = 3;
// The answer of every connect and disconnect command is a diagnostic of its own, written only
// in a build that turns command logging on; the ordinary log shows the outcome in the lines
// that follow it.
constexpr bool kLogCommandAnswers = false;

void PutBe16(std::vector<uint8_t>* out, uint16_t value) {
    out->push_back(static_cast<uint8_t>(value >> 8));
    out->push_back(static_cast<uint8_t>(value));
}

const char* AnswerText(int answer, char* buffer, size_t capacity) {
    switch (answer) {
    case kRwpAnswerOk: return "OK";
    case kRwpAnswerNg: return "NG";
    case kRwpAnswerDeny: return "DENY";
    case kRwpAnswerNone: return "Communication error";
    default: snprintf(buffer, capacity, "Other (%d)", answer); return buffer;
    }
}

bool IsDisplayDevice(const ConnectTarget& target) {
    return IsDisplayLinkDevice(target.vid, target.pid) || StrStrIA(target.name.c_str(), "DisplayLink") != nullptr;
}

void SetBusy(DeviceEntry* device, uint16_t busy) {
    LibraryLock lock;
    if (device->removed) return;
    device->busy = busy;
    if (busy == 0 && device->info) device->info->comPort = 0;
}

// Connect of a serial device: the driver learns the COM number the settings ask for.
void SetComPortForConnect(HWND log, const ConnectTarget& target) {
    uint8_t com = (target.com & 0x1) ? target.comPortNumber : 0;
    LogLine(log, "### Set COM Port(Start) ###");
    LogLine(log, "  IP Address: %s", AddressText(target.serverAddress).c_str());
    LogLine(log, "  Location  : %s", target.locations[0].c_str());
    LogLine(log, "  Set COM   : COM%d", com);
    bool ok = SetPortComPort(target.serverAddress, target.locations[0].c_str(), com) != 0;
    LogLine(log, ok ? "  --> Set COM Port: OK." : "  --> Set COM Port: Error.");
    LogLine(log, "### Set COM Port(End) ###");
}

void RemoveStorageBeforeDisconnect(HWND log, const ConnectTarget& target) {
    if (!target.HasClass(kInterfaceClassStorage)) return;
    if (GetOsCode(nullptr, nullptr) == kOsWin2000) {
        for (size_t i = 0; i < target.classes.size() && i < target.locations.size(); ++i) {
            if (target.classes[i] == kInterfaceClassStorage) {
                SafetyRemoveOld(log, target.vid, target.pid, target.serverAddress, target.locations[i].c_str());
            }
        }
    } else if (!IsDisplayDevice(target)) {
        SafetyRemove(log, target.busId);
    }
}

}  // namespace

bool BuildConnectCommandData(const ConnectCommand& command, bool connect, const ConnectExtension* extension,
                             uint8_t prefix[12], std::vector<uint8_t>* params) {
    prefix[0] = 1;
    prefix[1] = 6;
    memcpy(prefix + 2, command.hardwareAddress, 6);
    memcpy(prefix + 8, &command.address, 4);
    params->assign(command.port.begin(), command.port.end());
    if (connect && command.level >= 2) {
        params->push_back(0);
        PutBe16(params, command.protocolPort);
        uint8_t flags = 0;
        if (command.flags & kCommandFlagServerFlag) flags |= kConnectFlagServerFlag;
        bool keepAlive = (command.serverFunction & kServerFunctionKeepAlive) != 0;
        if (keepAlive) flags |= kConnectFlagKeepAlive;
        params->push_back(flags);
        if (keepAlive) PutBe16(params, kKeepAlivePort);
        if (command.level >= 4 && extension) {
            PutBe16(params, extension->value16);
            PutBe16(params, static_cast<uint16_t>(extension->value32 >> 16));
            PutBe16(params, static_cast<uint16_t>(extension->value32));
        }
    }
    const char* text = RwpCommandText(connect ? kRwpScannerConnect : kRwpScannerDisconnect);
    return strlen(text) + 12 + params->size() <= rwp::kCommandFieldSize;
}

ConnectCommand FillConnectCommand(const ConnectTarget& target, size_t index, bool connect) {
    ConnectCommand c;
    c.address = connect ? target.localAddress : target.userAddress;
    c.protocolPort = target.rwpPort;
    c.serverAddress = target.serverAddress;
    c.level = target.level;
    memcpy(c.hardwareAddress, target.hardwareAddress, 6);
    c.serverFunction = target.serverFunction;
    c.model = target.model;
    if (index < target.ports.size()) c.port = target.ports[index];
    if (index < target.locations.size()) c.location = target.locations[index];
    c.status = target.status;
    c.userAddress = target.userAddress;
    if (target.property & kPropertyServerFlag) c.flags |= kCommandFlagServerFlag;
    if (target.IsComPort() && (target.com & 0x1)) c.comPort = target.comPortNumber;
    return c;
}

int SendConnectCommand(HWND log, bool connect, const ConnectCommand& command, const ConnectExtension* extension) {
    char statusText[64] = "";
    DeviceStatusText(command.status, statusText, sizeof(statusText));
    char mac[18];
    snprintf(mac, sizeof(mac), "%02X:%02X:%02X:%02X:%02X:%02X", command.hardwareAddress[0], command.hardwareAddress[1],
             command.hardwareAddress[2], command.hardwareAddress[3], command.hardwareAddress[4], command.hardwareAddress[5]);
    LogLine(log, "  PC Address: %s", AddressText(command.address).c_str());
    LogLine(log, "  Ethernet  : %s", mac);
    LogLine(log, "  Status    : %s", statusText);
    int answer;
    uint16_t needed = connect ? kDeviceStatusFree : kDeviceStatusConnected;
    uint16_t reached = connect ? kDeviceStatusConnected : kDeviceStatusFree;
    if (command.status == reached) {
        answer = kRwpAnswerOk;
    } else if (command.status != needed) {
        answer = kRwpAnswerNg;
    } else {
        uint8_t prefix[12];
        std::vector<uint8_t> params;
        // The port name comes from the network: a command that would not fit is not sent.
        if (!BuildConnectCommandData(command, connect, extension, prefix, &params)) {
            answer = kRwpAnswerNg;
        } else {
            AddressRecord server = AddressRecord::Ipv4Net(command.serverAddress, command.protocolPort);
            answer = RwpCommandExchange(server, connect ? kRwpScannerConnect : kRwpScannerDisconnect, prefix,
                                        params.data(), params.size());
        }
    }
    if (kLogCommandAnswers) {
        char buffer[32];
        LogLine(log, "  <<< %s Command : %s >>>", connect ? "Connect" : "Disconnect", AnswerText(answer, buffer, sizeof(buffer)));
    }
    return answer;
}

const ConnectExtension* RequestExtension(const ConnectRequest& request) {
    if (!request.buffer || request.size < sizeof(ConnectCallerBuffer)) return nullptr;
    ConnectCallerBuffer head;
    memcpy(&head, request.buffer, sizeof(head));
    return head.kind == 1 ? head.extension : nullptr;
}

bool RunConnectDisconnect(const ConnectRequest& request, const ConnectTarget& target, uint16_t* code) {
    HWND log = target.serverWindow;
    bool connect = request.message == kRequestConnect;
    uint16_t wanted = connect ? 2 : 0;
    LogLine(log, "### Connect/Disconnect - Start ###");
    if (!connect) RemoveStorageBeforeDisconnect(log, target);
    if (connect && target.IsComPort()) SetComPortForConnect(log, target);
    SetBusy(request.device, connect ? kDeviceBusyConnecting : kDeviceBusyDisconnecting);
    const ConnectExtension* extension = RequestExtension(request);
    size_t count = target.UsableInterfaces();
    bool ok = count > 0;
    bool anyFailed = false;
    int retries = 0;
    *code = 6;
    for (size_t i = 0; i < count; ++i) {
        ConnectCommand command = FillConnectCommand(target, i, connect);
        LogLine(log, "  Device    : %s", target.name.c_str());
        LogLine(log, "  Port      : %s", command.port.c_str());
        LogLine(log, "  Location  : %s", command.location.c_str());
        int answer = SendConnectCommand(log, connect, command, extension);
        bool sent = answer == kRwpAnswerOk;
        if (connect && answer == kRwpAnswerDeny) {
            LogLine(log, "  The server denied.");
            *code = 9;
            LibraryLock lock;
            if (!request.device->removed) request.device->connectAction = 0;
            ok = false;
            break;
        }
        if (!connect && i > 0 && !sent) {
            // Servers answer NG for the later interfaces of a device they already freed.
            LogLine(log, "  Disconnect is NG, but It is success!");
            sent = true;
        }
        ok = sent;
        if (!sent) {
            LogLine(log, "  --> Connect/DisConnect: Error.");
        } else {
            if (connect && i == 0) {
                LibraryLock lock;
                if (!request.device->removed) request.device->connectAction = request.action;
            }
            uint32_t stuck = 0;
            if (!WaitDriverState(log, target.serverAddress, command.location.c_str(), wanted, &stuck)) {
                LogLine(log, "  --> Connect/DisConnect: Error.");
                ok = false;
            } else if (stuck) {
                ++retries;
                if (retries < kMaxDriverRetries) {
                    LogLine(log, "  Retry Count = %d", retries);
                    i = static_cast<size_t>(-1);  // over again from the first interface
                    continue;
                }
                LogLine(log, "  Retry Count = %d > 2", retries);
                ok = false;  // the driver never took the port
            } else if (!connect) {
                PortStatus status = {};
                if (QueryPortStatus(target.serverAddress, command.location.c_str(), &status, false) && status.state != 0) {
                    ok = false;  // the wait ran out with the port still held
                }
            }
        }
        if (!ok) {
            if (connect) break;
            if (i == 0 || sent) anyFailed = true;
        }
        if (!DeviceStillListed(request.device)) {
            ok = false;
            break;
        }
    }
    if (!connect && anyFailed) ok = false;
    SetBusy(request.device, 0);
    LogLine(log, "### Connect/Disconnect - End ###");
    if (ok) *code = 0;
    return ok;
}
