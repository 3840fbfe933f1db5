#include "search_cycle.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "broadcast_list.h"
#include "detected_servers.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "log.h"
#include "messages.h"
#include "remote_desktop.h"
#include "search_socket.h"
#include "server_devices.h"
#include "server_list.h"
#include "server_session.h"
#include "server_storage.h"
#include "service_properties.h"
#include "text_util.h"

namespace {
constexpr uint32_t kLinkLocalNet = 0xA9FE0000;  // 169.254.0.0, host order
constexpr uint32_t kLinkLocalMask = 0xFFFF0000;

bool IsLinkLocal(uint32_t networkOrder) { return (ntohl(networkOrder) & kLinkLocalMask) == kLinkLocalNet; }

ServiceProperties CurrentProperties() {
    LibraryLock lock;
    return g_lib.properties;
}

void SendNetworkPhase(uint16_t flags) {
    HWND client;
    {
        LibraryLock lock;
        client = g_lib.clientWindow;
    }
    if (!client) return;
    NotifyEvent event = {1, flags};
    SendMessageA(client, PNXN_NETWORK, reinterpret_cast<WPARAM>(&event), 0);
}

// Remote-desktop mode: searches go only to the desktop's clients and servers that are not
// among them are lost. True when the sweep ran instead of a search.
bool RemoteDesktopCheck(HWND service, const char* heading) {
    std::vector<uint32_t> addresses;
    RemoteDesktopAddresses(addresses);
    ReplaceBroadcastList(addresses);
    LogLine(service, "%s", heading);
    LogLine(service, "  Port = %u", RdpPort());
    LogLine(service, "  Address Count = %u", static_cast<unsigned>(addresses.size()));
    for (size_t i = 0; i < addresses.size(); ++i) {
        LogLine(service, "  (%u) %s", static_cast<unsigned>(i + 1), Ipv4Text(addresses[i]).c_str());
    }
    if (!MarkServersOutsideList(service, addresses)) return false;
    LostServerSweep(service);
    return true;
}

void SearchStepFor(HWND service, const char* heading, const char* sentLine) {
    ClearDetectedServers(service);
    ServiceProperties properties = CurrentProperties();
    uint32_t flags = SearchFlags(properties, BroadcastListInIni());
    if ((properties.communicateMode & kCommunicateRemoteDesktop) && RemoteDesktopCheck(service, heading)) return;
    SendSearch(service, flags);
    LogLine(service, "%s", sentLine);
}

// A server that stays through a search cycle: refresh its lists' status and ask it again.
void RequeryServer(ServerEntry* entry) {
    HWND serverWindow, owner;
    {
        LibraryLock lock;
        serverWindow = entry->serverWindow;
        owner = entry->owner;
    }
    // Each refresh tells the client, whose handlers may end this server: look again after it.
    auto listed = [&] { return ServerEntryListed(owner, entry); };
    RefreshDeviceStatusForSearch(entry);
    if (!listed()) return;
    RefreshNasStatusForSearch(entry);
    if (!listed()) return;
    if (DeviceCount(entry) == 0 && NasCount(entry) == 0) ApplyServerStatusUpdate(serverWindow, 1, true);
    if (!listed()) return;
    uint16_t state;
    {
        LibraryLock lock;
        entry->record->searched = true;
        entry->record->info->statusWordPrevious = entry->record->info->statusWord;
        state = entry->record->analysisState;
    }
    ApplyServerStatusUpdate(serverWindow, 3, true);
    if (!listed() || !serverWindow || !IsWindow(serverWindow)) return;
    if (state == kStateOpenSocket || state == kStateAddressChanged) {
        SendMessageA(serverWindow, PNXM_RENEW, 0, 0);
    } else {
        SendMessageA(serverWindow, PNXM_SESSION_TIMERS, 0, 0);
        RestartServerAnalysis(serverWindow);
    }
}
}  // namespace

uint32_t SearchFlags(const ServiceProperties& properties, bool iniList) {
    uint32_t flags = kSearchUdp;
    if (iniList && properties.useBroadAddress != 0) flags |= kSearchIniList;
    if (properties.useBroadAddress & kBroadUseList) {
        if (properties.useBroadAddress & kBroadNoLimited) flags |= kSearchNoLimited;
        if (properties.useBroadAddress & kBroadAdapters) flags |= kSearchAdapters;
    }
    return flags;
}

bool ServerOutsideLocalSubnet(uint32_t server, uint32_t local, uint32_t mask) {
    if (IsLinkLocal(local)) return (ntohl(server) & kLinkLocalMask) != (ntohl(local) & kLinkLocalMask);
    return (server & mask) != (local & mask);
}

void SetAutoSearchTimer(HWND service, uint32_t interval, bool on) {
    if (interval == 0) return;
    if (on) {
        if (g_lib.autoSearchTimerRunning) return;
        if (!SetTimer(service, kTimerAutoSearch, interval, nullptr)) return;
        g_lib.autoSearchTimerRunning = true;
        g_lib.autoSearchOn = true;
    } else if (g_lib.autoSearchTimerRunning) {
        KillTimer(service, kTimerAutoSearch);
        g_lib.autoSearchTimerRunning = false;
        g_lib.autoSearchOn = false;
    }
}

void StopAutoSearchTimer(HWND service) {
    KillTimer(service, kTimerAutoSearch);
    g_lib.autoSearchTimerRunning = false;
    g_lib.autoSearchOn = false;
}

void SearchStep(HWND service, bool fromTimer) {
    if (fromTimer) {
        SearchStepFor(service, "*** Auto Search Address ***", ">> SendSearchPacket(Auto Timer) <<");
    } else {
        SearchStepFor(service, "*** Search Address ***", ">> SendSearchPacket(Message) <<");
    }
}

void SearchCycle(HWND service) {
    if (g_lib.searchRunning) return;
    g_lib.searchRunning = true;
    CloseSearchSockets();
    bool keepAll = (CurrentProperties().useBroadAddress & kBroadUseList) != 0;
    // A snapshot: dropping a server deletes its row, and the notifications sent on the way
    // let the client call back into the library.
    for (ServerEntry* entry : ServerEntries(service)) {
        if (!ServerEntryListed(service, entry)) continue;
        bool drop;
        {
            LibraryLock lock;
            if (!entry->record || !entry->record->info) continue;
            drop = !keepAll && ServerOutsideLocalSubnet(entry->record->info->ipAddress, entry->record->localAddress,
                                                        entry->record->localMask);
        }
        if (drop) {
            DestroyServerWindow(service, entry);
        } else {
            RequeryServer(entry);
        }
    }
    SearchStep(service, false);
    g_lib.searchRunning = false;
}

int LostServerSweep(HWND service) {
    SendNetworkPhase(kNetworkSweepStart);
    if (!ServerListControl(service)) return 0;
    for (ServerEntry* entry : ServerEntries(service)) {
        if (!ServerEntryListed(service, entry)) continue;
        {
            LibraryLock lock;
            if (!entry->record || !entry->record->notSeen) continue;
        }
        std::vector<AutoDeviceItem> items;
        CollectLostServerDevices(entry, items);
        HWND client = g_lib.clientWindow;
        if (!items.empty() && client) {
            AutoDeviceList list = {static_cast<uint32_t>(items.size()), items.data()};
            NotifyEvent event = {PNXET_DISCONNECT, 0};
            SendMessageA(client, PNXN_DEVICE, reinterpret_cast<WPARAM>(&event), reinterpret_cast<LPARAM>(&list));
        }
        if (ServerEntryListed(service, entry)) DestroyServerWindow(service, entry);
    }
    SendNetworkPhase(kNetworkSweepEnd);
    if (g_lib.serviceStarted) {
        SendToServerWindows(service, PNXM_SESSION_TIMERS, 1, 0);
        SendToServerWindows(service, PNXM_AUTO_PRINTER, 1, 0);
        SetAutoSearchTimer(service, CurrentProperties().timer, true);
        PostMessageA(service, PNXM_SEARCH_NOW, 0, 0);
    }
    return 1;
}

void RenewAllServers(HWND service) {
    for (ServerEntry* entry : ServerEntries(service)) {
        LibraryLock lock;
        if (entry->record) entry->record->notSeen = true;
    }
    g_lib.renewAllRunning = true;
    SetTimer(service, kTimerLostServerSweep, kLostServerSweepDelay, nullptr);
    for (int i = 0; i < kRenewAllTicks; ++i) {
        if (i > 0) Sleep(kRenewAllTickGapMs);
        PostMessageA(service, WM_TIMER, kTimerAutoSearch, 0);
    }
}
