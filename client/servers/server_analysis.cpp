#include "server_analysis.h"

#include <winsock2.h>

#include "address_record.h"
#include "device_list_reply.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "live_session.h"
#include "log.h"
#include "messages.h"
#include "monitor_channel.h"
#include "search_reply.h"
#include "search_socket.h"
#include "server_list.h"
#include "server_names.h"
#include "server_session.h"
#include "server_timers.h"
#include "text_util.h"

namespace {
constexpr uint32_t kLoopback = 0x0100007F;  // 127.0.0.1 in network byte order
constexpr const char* kChannelName = "SYSTEM";

// What a step needs from the record, copied under the lock.
struct StepView {
    uint32_t ipv4 = 0;
    HWND channel1 = nullptr;
    HWND channel2 = nullptr;
};

uint8_t CommunicateMode() {
    LibraryLock lock;
    return g_lib.properties.communicateMode;
}

bool StorageWanted(const ServerRecord& record, uint8_t communicateMode) {
    return (communicateMode & kCommunicateStorage) && record.storage;
}

const char* StateLogName(uint16_t state) {
    switch (state) {
    case kStateSendAddress: return "*** SEND_IPADDR ***";
    case kStateOpenSocket: return "*** SEND_OPENSOCKET ***";
    case kStateDeviceList: return "*** SEND_DEVICELIST ***";
    case kStateDeviceListEx: return "*** SEND_DEVICELIST_EX ***";
    case kStateDeviceListExII: return "*** SEND_DEVICELIST_EX_II ***";
    case kStateStorageList: return "*** Send_LAN_LIST ***";
    default: return nullptr;
    }
}

void SetState(ServerEntry* entry, uint16_t state) {
    LibraryLock lock;
    if (entry->record) entry->record->analysisState = state;
}

// State 3: new channels to the server when this PC has an address toward it; without one the
// probe is tried again on the Status timer.
void OpenServerChannels(HWND window, ServerEntry* entry) {
    CloseServerChannels(window);
    uint32_t ipv4;
    uint16_t rwpPort;
    {
        LibraryLock lock;
        ipv4 = entry->record->info->ipAddress;
        rwpPort = entry->record->rwpPort ? entry->record->rwpPort : kDefaultRwpPort;
    }
    PcAddress local = ComputePcAddress(ipv4);
    {
        LibraryLock lock;
        entry->record->localAddress = local.address;
        entry->record->localMask = local.mask;
        entry->record->localSegment = local.segment;
    }
    LogLine(window, "  PC Address : %s", Ipv4Text(local.address).c_str());
    LogLine(window, "  SubnetMask : %s", Ipv4Text(local.mask).c_str());
    LogLine(window, "  Segment    : %s", Ipv4Text(local.segment).c_str());
    if (local.address == 0 || local.address == kLoopback) {
        SetState(entry, kStateNoLocalAddress);
        SwitchSessionTimer(window, SessionTimer::Status, true);
        return;
    }
    HWND channel1 = CreateMonitorChannel(window, AddressRecord::Ipv4Net(ipv4, rwpPort), kChannelName, SW_HIDE);
    HWND channel2 = CreateMonitorChannel(window, AddressRecord::Ipv4Net(ipv4, kStoragePort), kChannelName, SW_HIDE);
    {
        LibraryLock lock;
        entry->record->channel1 = channel1;
        entry->record->channel2 = channel2;
        entry->record->analysisState = kStateChannelsOpen;
    }
    PostMessageA(window, PNXM_CHANNELS_OPEN, 0, 0);
}

DeviceListKind DeviceListKindOf(uint16_t state) {
    if (state == kStateDeviceListEx) return DeviceListKind::Ex;
    if (state == kStateDeviceListExII) return DeviceListKind::ExII;
    return DeviceListKind::Basic;
}

void PerformAction(HWND window, ServerEntry* entry, uint16_t state, const StepView& view) {
    if (const char* name = StateLogName(state)) LogLine(window, "%s", name);
    switch (state) {
    case kStateSendAddress:
        SearchToAddress(window, view.ipv4);
        break;
    case kStateOpenSocket:
        OpenServerChannels(window, entry);
        break;
    case kStateDeviceList:
    case kStateDeviceListEx:
    case kStateDeviceListExII:
        MonitorSendDeviceList(view.channel1, DeviceListKindOf(state));
        break;
    case kStateStorageList:
        MonitorSendStorageList(view.channel2);
        break;
    default:
        break;
    }
}

// After a list reply: the analysis is finished (or goes on with the storage list at once),
// and polling goes on while auto search is on.
void AfterListReply(HWND window, ServerEntry* entry, bool storageFollows) {
    if (storageFollows) {
        StepAnalysis(window, 0, false);
    } else {
        NotifyAnalysisFinished(window);
    }
    if (!SessionAlive(window, entry)) return;
    if (g_lib.autoSearchOn) SwitchSessionTimer(window, SessionTimer::Status, true);
}

// Stops the TimeOut of a reply, unless the server is being re-examined (its address was seen
// twice): then the reply does not settle anything and the analysis goes back to the probe.
bool ReplyStopsTimeOut(ServerEntry* entry) {
    LibraryLock lock;
    return !entry->record->reexamine;
}

// The resting state after a reply, and whether re-examination turned it into state 20.
uint16_t SettleAfterReply(ServerEntry* entry, uint16_t state) {
    LibraryLock lock;
    ServerRecord* record = entry->record;
    if (record->reexamine) {
        record->reexamine = false;
        state = kStateNoLocalAddress;
    }
    record->analysisState = state;
    return NextAnalysisState(state, record->info->rwpLevel, StorageWanted(*record, CommunicateMode()));
}

bool IsChannelOf(ServerEntry* entry, HWND channel, bool storage) {
    LibraryLock lock;
    return channel && channel == (storage ? entry->record->channel2 : entry->record->channel1);
}
}  // namespace

uint16_t DeviceListState(uint16_t rwpLevel) {
    if (rwpLevel == 3) return kStateDeviceListEx;
    if (rwpLevel >= 4) return kStateDeviceListExII;
    return kStateDeviceList;
}

uint16_t DeviceListReplyState(uint16_t rwpLevel) {
    if (rwpLevel == 3) return kStateGotDeviceListEx;
    if (rwpLevel >= 4) return kStateGotDeviceListExII;
    return kStateGotDeviceList;
}

uint16_t NextAnalysisState(uint16_t state, uint16_t rwpLevel, bool storageWanted) {
    switch (state) {
    case kStateAddressChanged:
    case kStateNoLocalAddress:
        return kStateSendAddress;
    case kStateProbeAnswered:
        return kStateOpenSocket;
    case kStateChannelsOpen:
        return DeviceListState(rwpLevel);
    case kStateGotDeviceList:
        return storageWanted ? kStateStorageList : kStateDeviceList;
    case kStateGotDeviceListEx:
        return storageWanted ? kStateStorageList : kStateDeviceListEx;
    case kStateGotDeviceListExII:
        return storageWanted ? kStateStorageList : kStateDeviceListExII;
    case kStateGotStorageList:
        // The next poll asks in the server's own form: a basic list from a level-3 or level-4
        // server would lack the serial numbers and make every known device look changed.
        return DeviceListState(rwpLevel);
    default:
        return state;
    }
}

bool StateStartsTimeOut(uint16_t state) {
    return state == kStateSendAddress || state == kStateDeviceList || state == kStateDeviceListEx ||
           state == kStateDeviceListExII || state == kStateStorageList;
}

void StepAnalysis(HWND window, uint16_t state, bool retry) {
    ServerEntry* entry = LiveSessionEntry(window);
    if (!entry) return;
    uint8_t communicateMode = CommunicateMode();
    uint16_t next;
    StepView view;
    {
        LibraryLock lock;
        ServerRecord* record = entry->record;
        uint16_t current = state ? state : record->analysisState;
        next = NextAnalysisState(current, record->info->rwpLevel, StorageWanted(*record, communicateMode));
        record->analysisState = next;
        view.ipv4 = record->info->ipAddress;
        view.channel1 = record->channel1;
        view.channel2 = record->channel2;
    }
    if (!retry && StateStartsTimeOut(next)) SwitchSessionTimer(window, SessionTimer::TimeOut, true);
    PerformAction(window, entry, next, view);
}

void RestartServerAnalysis(HWND window) {
    ServerEntry* entry = LiveSessionEntry(window);
    if (!entry) return;
    CloseServerChannels(window);
    SetState(entry, kStateSendAddress);
    StepAnalysis(window, kStateSendAddress, false);
}

void CloseServerChannels(HWND window) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    HWND channels[2] = {};
    if (entry) {
        LibraryLock lock;
        if (entry->record) {
            channels[0] = entry->record->channel1;
            channels[1] = entry->record->channel2;
            entry->record->channel1 = nullptr;
            entry->record->channel2 = nullptr;
        }
    }
    for (HWND channel : channels) CloseMonitorChannel(channel);
    CloseProbeSocket(window);
}

void OnProbeReply(HWND window, WPARAM wParam, LPARAM lParam) {
    uint8_t reply[kSearchReplyMax];
    AddressRecord from;
    int length = ReceiveSearchReply(wParam, lParam, reply, sizeof reply, &from);
    ServerEntry* entry = LiveSessionEntry(window);
    if (length <= 0 || !entry) return;
    uint16_t port = from.kind == AddressKind::Ipv4 ? from.Port() : 0;
    if (!ServerFromReplyAt(window, reply, static_cast<size_t>(length), entry, port)) return;
    if (!SessionAlive(window, entry)) return;
    SwitchSessionTimer(window, SessionTimer::TimeOut, false);
    StepAnalysis(window, kStateProbeAnswered, false);
}

void OnDeviceListReply(HWND window, UINT message, HWND channel) {
    ServerEntry* entry = LiveSessionEntry(window);
    const uint8_t* data = nullptr;
    size_t length = 0;
    // Only a reply of the channel the session holds now: one of a closed channel is stale.
    if (!entry || !IsChannelOf(entry, channel, false) || !MonitorLastReply(channel, &data, &length)) return;
    if (ReplyStopsTimeOut(entry)) SwitchSessionTimer(window, SessionTimer::TimeOut, false);
    HandleDeviceListReply(window, message, data, length);
    if (!SessionAlive(window, entry)) return;
    uint16_t level;
    {
        LibraryLock lock;
        level = entry->record->info->rwpLevel;
        if (!entry->record->storage) entry->record->searched = false;
    }
    AfterListReply(window, entry, SettleAfterReply(entry, DeviceListReplyState(level)) == kStateStorageList);
}

void OnStorageListReply(HWND window, UINT message, HWND channel) {
    ServerEntry* entry = LiveSessionEntry(window);
    const uint8_t* data = nullptr;
    size_t length = 0;
    if (!entry || !IsChannelOf(entry, channel, true) || !MonitorLastReply(channel, &data, &length)) return;
    if (ReplyStopsTimeOut(entry)) SwitchSessionTimer(window, SessionTimer::TimeOut, false);
    if (TheServerStorageHooks().listReply) TheServerStorageHooks().listReply(window, message, data, length);
    if (!SessionAlive(window, entry)) return;
    {
        LibraryLock lock;
        entry->record->searched = false;
    }
    SettleAfterReply(entry, kStateGotStorageList);
    AfterListReply(window, entry, false);
}
