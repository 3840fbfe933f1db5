// Service control: properties, start, end, suspend, resume, renew, the search port and
// rule number, the desktop port, the search filters and the detected servers.
#include "service_control.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "broadcast_list.h"
#include "detected_servers.h"
#include "device_list_renew.h"
#include "connect_queue.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "log.h"
#include "messages.h"
#include "pnxscapi.h"
#include "search_cycle.h"
#include "search_filter.h"
#include "search_socket.h"
#include "server_list.h"
#include "service_properties.h"
#include "text_util.h"

namespace {
constexpr uint32_t kMaxPort = 65535;

bool Live(HWND service) { return service && IsWindow(service); }

bool ValidFilterKind(int kind) {
    return kind == kFilterIpv4 || kind == kFilterKind2 || kind == kFilterHardware || kind == kFilterModel;
}

// The first steps of Start and Resume: take the caller's properties, save them and reload the
// broadcast list (the memory list stays and is searched after it).
ServiceProperties TakeAndReload(const ServiceProperties* given) {
    if (given) TakeServiceProperties(*given);
    SaveServiceProperties();
    ServiceProperties current = CurrentServiceProperties();
    ReloadBroadcastList((current.useBroadAddress & kBroadUseList) != 0);
    return current;
}

void SetStarted(bool started) {
    LibraryLock lock;
    g_lib.serviceStarted = started;
}

void StopService(HWND service, LPARAM keepPrinters, const char* logLine) {
    SetStarted(false);
    StopAutoSearchTimer(service);
    SendToServerWindows(service, PNXM_SESSION_TIMERS, 0, 0);
    SendToServerWindows(service, PNXM_AUTO_PRINTER, 0, keepPrinters);
    LogLine(service, "%s", logLine);
}

void LogFilter(HWND service, int set, int kind) {
    int count = SearchFilterEntryCount(set, kind);
    if (set == kFilterSetA) {
        LogLine(service, "PnxSetSearchFilter(%d)", count);
    } else {
        LogLine(service, "PnxSetSearchFilterEx(%d)", count);
    }
    for (int i = 0; i < count; ++i) LogLine(service, "  Filter(%d) : %s", i, SearchFilterEntry(set, kind, i).c_str());
}

// A copy of a server's information, taken under the lock; false without one.
bool CopyServerInfo(const ServerEntry* entry, ServerInfo* info) {
    LibraryLock lock;
    if (!entry->record || !entry->record->info) return false;
    *info = *entry->record->info;
    return true;
}

DetectedServer DetectedFromInfo(const ServerInfo& info) {
    DetectedServer server = {};
    server.ipAddress = info.ipAddress;
    std::memcpy(server.hardwareAddress, info.hardwareAddress, sizeof server.hardwareAddress);
    std::memcpy(server.hostName, info.hostName, sizeof server.hostName - 1);
    std::memcpy(server.modelName, info.modelName, sizeof server.modelName - 1);
    return server;
}

// The detected rows followed by the listed servers that are not among them.
std::vector<DetectedServer> DetectedAndListed(HWND service) {
    std::vector<DetectedServer> servers;
    int rows = DetectedServerCount(service);
    for (int row = 0; row < rows; ++row) {
        if (const DetectedServer* server = DetectedServerAt(service, row)) servers.push_back(*server);
    }
    for (ServerEntry* entry : ServerEntries(service)) {
        ServerInfo info;
        if (!CopyServerInfo(entry, &info)) continue;
        if (!DetectedServerKnown(service, HardwareAddressText(info.hardwareAddress).c_str())) {
            servers.push_back(DetectedFromInfo(info));
        }
    }
    return servers;
}
}  // namespace

int ServiceSetPortAndRule(HWND service, uint32_t port, uint32_t rule) {
    if (!service) return 0;
    // Any non-zero value counts, the defaults included, so that they can be restored.
    if (port != 0 && port <= kMaxPort) {
        g_search.udpPort = static_cast<uint16_t>(port);
        g_search.ipxPort = kDefaultSearchPortIpx;
    }
    if (rule != 0 && rule <= 0xFFFF) g_search.rule = static_cast<uint16_t>(rule);
    LogLine(service, "PnxSetPortAndRuleNumber(Port: 0x%04x, Rule: 0x%04x)", port, rule);
    return 1;
}

int ServiceGetProperties(HWND service, ServiceProperties* properties) {
    if (!service || !properties) return 0;
    ServiceProperties current = CurrentServiceProperties();
    properties->communicateMode = current.communicateMode;
    properties->timer = current.timer;
    properties->useBroadAddress = current.useBroadAddress;
    return 1;
}

int ServiceStart(HWND service, const ServiceProperties* properties) {
    if (!Live(service)) return 0;
    ServiceProperties current = TakeAndReload(properties);
    LogLine(service, "PnxStartService()");
    LogLine(service, "  Communicate Mode : 0x%02x", current.communicateMode);
    LogLine(service, "  BroadAddr Mode   : %d", current.useBroadAddress);
    LogLine(service, "  Status Time      : %u", current.timer);
    SetStarted(true);
    PostMessageA(service, PNXM_SEARCH_NOW, 0, 0);
    SetAutoSearchTimer(service, current.timer, true);
    return 1;
}

int ServiceEnd(HWND service) {
    if (!Live(service)) return 0;
    StopService(service, 0, "PnxEndService()");
    // A worker held by PnxConnectStop would otherwise wait for ever.
    ReleaseConnectQueueWorker(false);
    return 1;
}

int ServiceSuspend(HWND service, int keepPrinters) {
    if (!Live(service)) return 0;
    StopService(service, keepPrinters, "PnxSuspendService()");
    return 1;
}

int ServiceResume(HWND service, const ServiceProperties* properties) {
    if (!Live(service)) return 0;
    ServiceProperties current = TakeAndReload(properties);
    LogLine(service, "PnxResumeService()");
    LogLine(service, "  Communicate Mode : 0x%08x", current.communicateMode);
    LogLine(service, "  BroadAddr Mode   : %d", current.useBroadAddress);
    LogLine(service, "  Status Time      : %u", current.timer);
    SetStarted(true);
    // The running renew-all sequence restarts the searches itself when its sweep ends.
    if (g_lib.renewAllRunning) return 1;
    if (current.useBroadAddress & kBroadRenewAll) {
        RenewAllServers(service);
        return 1;
    }
    SendToServerWindows(service, PNXM_SESSION_TIMERS, 1, 0);
    SendToServerWindows(service, PNXM_AUTO_PRINTER, 1, 0);
    SetAutoSearchTimer(service, current.timer, true);
    PostMessageA(service, PNXM_SEARCH_NOW, 0, 0);
    return 1;
}

int ServiceRenew(HWND service, int mode) {
    if (!Live(service)) return 0;
    // A server without an address cannot be asked again; its window's end reports it deleted.
    for (ServerEntry* entry : ServerEntries(service)) {
        ServerInfo info;
        // An earlier server's end notice may have let the client end this one too: only a
        // server still listed is looked at.
        if (ServerEntryListed(service, entry) && CopyServerInfo(entry, &info) && info.ipAddress == 0) {
            DestroyServerWindow(service, entry);
        }
    }
    if (mode == 0) {
        LogLine(service, "PnxRenewService() - Reflash!");
        PostMessageA(service, PNXM_SEARCH_NOW, 0, 0);
    } else if (mode == 1) {
        LogLine(service, "PnxRenewService() - Renew!");
        SendToServerWindows(service, PNXM_RENEW, 0, 0);
    }
    return 1;
}

int ServerRenewDevices(HWND service, HPnxSv server, uint32_t mode) {
    if (!Live(service) || !server || !ServerEntryListed(service, server)) return 0;
    switch (mode) {
    case 0:
        LogLine(service, "PnxRenewService() - %s", "Reflash!");
        break;
    case 1:
        LogLine(service, "PnxRenewService() - %s", "Renew!");
        break;
    case 2:
        LogLine(service, "PnxRenewService() - %s", "Synchronous type!");
        RenewDeviceListNow(service, server);
        return 1;
    default:
        LogLine(service, "PnxRenewService() - wMode = 0x%04x", mode);
        break;
    }
    HWND serverWindow;
    {
        LibraryLock lock;
        serverWindow = server->serverWindow;
    }
    if (serverWindow) PostMessageA(serverWindow, PNXM_RENEW, 0, mode);
    return 1;
}

int ServiceGetRdpPort(HWND service, uint32_t* port) {
    if (!service || !port) return 0;
    LoadRdpPort();
    *port = RdpPort();
    return 1;
}

int ServiceSetRdpPort(HWND service, uint32_t port) {
    if (!service || port < 1 || port > kMaxPort) return 0;
    return StoreRdpPort(port) ? 1 : 0;
}

int ServiceSetFilter(HWND service, int kind, const char* list) {
    if (!service || !list || !ValidFilterKind(kind)) return 0;
    if (!SetSearchFilterList(kFilterSetA, kind, list)) return 0;
    LogFilter(service, kFilterSetA, kind);
    return 1;
}

int ServiceSetFilterEx(HWND service, int kind, const char* list) {
    if (!service || !ValidFilterKind(kind)) return 0;
    if (!SetSearchFilterList(kFilterSetB, kind, list)) return 0;
    if (list) {
        LogFilter(service, kFilterSetB, kind);
        // Servers the new list lets through must be detected afresh.
        ClearDetectedServers(service);
    }
    return 1;
}

int ServiceRefreshFilter() {
    HWND service;
    {
        LibraryLock lock;
        service = g_lib.serviceWindow;
    }
    if (!Live(service)) return 1;
    for (ServerEntry* entry : ServerEntries(service)) {
        ServerInfo info;
        if (!CopyServerInfo(entry, &info)) continue;
        info.modelName[sizeof info.modelName - 1] = '\0';
        bool accepted = SearchFilterAccepts(kFilterSetB, Ipv4Text(info.ipAddress).c_str(),
                                            HardwareAddressText(info.hardwareAddress).c_str(), info.modelName);
        if (!accepted && ServerEntryListed(service, entry)) DestroyServerWindow(service, entry);
    }
    return 1;
}

int ServiceDetectedServers(HWND service, DetectedServer* servers, uint32_t* count) {
    if (!service || !count) return 0;
    std::vector<DetectedServer> found = DetectedAndListed(service);
    if (servers) {
        // The caller sized the array by an earlier count; a list that changed since is refused.
        if (*count != found.size()) return 0;
        for (size_t i = 0; i < found.size(); ++i) servers[i] = found[i];
    }
    *count = static_cast<uint32_t>(found.size());
    return 1;
}
