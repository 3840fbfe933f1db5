#include "keepalive.h"

#include <winsock2.h>

#include <cstring>

#include "address_record.h"
#include "bus_driver.h"
#include "byte_reader.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "live_session.h"
#include "log.h"
#include "messages.h"
#include "search_reply.h"
#include "server_entry.h"
#include "server_session.h"
#include "server_timers.h"
#include "udp_socket.h"

namespace {
constexpr size_t kMinKeepAlive = 4;  // the header

UdpSocket g_keepAliveSocket;                     // GUI thread
uint16_t g_keepAliveServerPort = kKeepAlivePort; // GUI thread

// One device as the tick sees it, copied under the lock: the driver is asked without it.
struct TickDevice {
    DeviceEntry* device;
    KeepAliveChoice choice;
    uint16_t status;
    std::string ports;
    std::string locations;
};

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) items.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

// Every location answers with a state that counts as held. A failed query counts as not held.
bool AllPortsHeld(uint32_t ipv4, const std::string& locations) {
    for (const std::string& location : SplitList(locations)) {
        PortStatus status = {};
        if (!QueryPortStatus(ipv4, location.c_str(), &status, false) || !KeepAlivePortHeld(status.state)) {
            return false;
        }
    }
    return true;
}

bool SnapshotTick(HWND window, ServerEntry* entry, uint32_t* ipv4, SessionTimer* active,
                  std::vector<TickDevice>* devices) {
    LibraryLock lock;
    if (!entry->record || !entry->record->info) return false;
    *ipv4 = entry->record->info->ipAddress;
    *active = static_cast<SessionTimer>(entry->record->timerKind);
    for (DeviceEntry* device : DeviceEntriesLocked(window)) {
        const UsbDeviceInfo* info = device->info;
        if (!info) continue;
        KeepAliveChoice choice = ChooseKeepAlive(device->busy, device->connectAction, info->status);
        if (choice == KeepAliveChoice::Skip) continue;
        devices->push_back({device, choice, info->status, info->ports ? info->ports : "",
                            info->locations ? info->locations : ""});
    }
    return true;
}

void MarkKeepAliveLost(HWND window, DeviceEntry* device) {
    LibraryLock lock;
    if (DeviceListedLocked(window, device)) device->keepAliveLost = 1;
}
}  // namespace

bool KeepAlivePortList::Add(const char* name, size_t length) {
    if (!name || length == 0) return false;
    // The name, its zero byte and the list's final zero byte must all fit.
    if (length + 2 > kKeepAlivePortListCapacity - used_) return false;
    std::memcpy(names_ + used_, name, length);
    used_ += length;
    names_[used_++] = 0;
    return true;
}

size_t KeepAlivePortList::AddList(const char* list) {
    if (!list) return 0;
    size_t added = 0;
    for (const std::string& name : SplitList(list)) added += Add(name.data(), name.size()) ? 1 : 0;
    return added;
}

std::vector<uint8_t> KeepAlivePortList::Datagram() const {
    size_t listSize = ListSize();
    std::vector<uint8_t> datagram(sizeof(KeepAliveHeader) + listSize, 0);
    KeepAliveHeader header;
    header.length = htons(static_cast<uint16_t>(datagram.size()));
    header.magic = htons(kKeepAliveMagic);
    std::memcpy(datagram.data(), &header, sizeof header);
    if (used_) std::memcpy(datagram.data() + sizeof header, names_, used_);  // the final zero is there already
    return datagram;
}

std::string KeepAlivePortList::LogText() const {
    std::string text(reinterpret_cast<const char*>(names_), ListSize());
    for (char& c : text) {
        if (c == '\0') c = ' ';
    }
    return text;
}

bool IsKeepAliveDatagram(const uint8_t* data, size_t length) {
    qz::ByteReader reader(data, length);
    uint16_t lengthField = reader.u16be();
    uint16_t magic = reader.u16be();
    return reader.ok() && length >= kMinKeepAlive && lengthField >= kMinKeepAlive && magic == kKeepAliveMagic;
}

bool KeepAlivePortHeld(uint16_t state) { return state == 1 || state == 2 || state == 4; }

KeepAliveChoice ChooseKeepAlive(uint16_t busy, uint16_t connectAction, uint16_t status) {
    if (busy == kDeviceBusyConnecting || busy == kDeviceBusyDisconnecting) return KeepAliveChoice::AddPorts;
    if (connectAction && (status == kDeviceStatusGetStatus || status == kDeviceStatusConnected)) {
        return KeepAliveChoice::AskDriver;
    }
    return KeepAliveChoice::Skip;
}

bool OpenKeepAliveSocket(HWND window, uint16_t serverPort, UINT message) {
    CloseKeepAliveSocket();
    g_keepAliveServerPort = serverPort;
    // Port 0: the servers answer to whatever port the datagram came from.
    if (!g_keepAliveSocket.CreateBound(0) || !g_keepAliveSocket.AsyncNotice(window, message, FD_READ)) {
        g_keepAliveSocket.Close();
        return false;
    }
    return true;
}

int CloseKeepAliveSocket() {
    g_keepAliveSocket.Close();
    return 1;
}

void ReadKeepAliveSocketLocked(HWND, WPARAM wParam, LPARAM lParam) {
    if (!g_keepAliveSocket.Valid() || static_cast<SOCKET>(wParam) != g_keepAliveSocket.Handle()) return;
    if (WSAGETSELECTEVENT(lParam) != FD_READ) return;
    uint8_t buffer[kKeepAliveReadMax];
    int length = g_keepAliveSocket.Receive(buffer, sizeof buffer);
    // A server's answer is recognised and nothing more: the tick does not wait for one.
    if (length > 0) IsKeepAliveDatagram(buffer, static_cast<size_t>(length));
}

bool SendKeepAlive(uint32_t serverIpv4, const std::vector<uint8_t>& datagram) {
    if (!g_keepAliveSocket.Valid() || datagram.empty()) return false;
    AddressRecord to = AddressRecord::Ipv4Net(serverIpv4, g_keepAliveServerPort);
    return g_keepAliveSocket.Send(datagram.data(), datagram.size(), &to) == static_cast<int>(datagram.size());
}

void StartKeepAliveTimer(HWND window) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return;
    {
        LibraryLock lock;
        if (!entry->record || !entry->record->info) return;
        if (!(entry->record->info->functionWord & kServerFunctionKeepAlive) || entry->record->keepAliveTimer) return;
        entry->record->keepAliveTimer = true;
    }
    SetTimer(window, kTimerKeepAlive, kKeepAliveInterval, nullptr);
    LogLine(window, "*** ZKA Timer Start! ***");
}

void StopKeepAliveTimer(HWND window) {
    ServerEntry* entry = ServerEntryOfWindow(window);
    if (!entry) return;
    {
        LibraryLock lock;
        if (!entry->record || !entry->record->keepAliveTimer) return;
        entry->record->keepAliveTimer = false;
    }
    KillTimer(window, kTimerKeepAlive);
    LogLine(window, "*** ZKA Timer End! ***");
}

void OnKeepAliveTick(HWND window) {
    ServerEntry* entry = LiveSessionEntry(window);
    uint32_t ipv4 = 0;
    SessionTimer active = SessionTimer::None;
    std::vector<TickDevice> devices;
    if (!entry || !SnapshotTick(window, entry, &ipv4, &active, &devices)) return;
    KeepAlivePortList list;
    bool renew = false;
    for (const TickDevice& d : devices) {
        if (d.choice == KeepAliveChoice::AddPorts || AllPortsHeld(ipv4, d.locations)) {
            list.AddList(d.ports.c_str());
        } else if (d.status == kDeviceStatusConnected) {
            MarkKeepAliveLost(window, d.device);
            renew = true;
        }
    }
    if (!list.empty()) {
        std::vector<uint8_t> datagram = list.Datagram();
        LogLine(window, "*** ZK Keep Alive ***");
        LogLine(window, "  Size: %d, Message: %s", static_cast<int>(datagram.size()), list.LogText().c_str());
        SendKeepAlive(ipv4, datagram);
    }
    if (renew && active == SessionTimer::Status) {
        LogLine(window, "*** ZK Keep Alive - Renew ***");
        PostMessageA(window, PNXM_RENEW, 0, 1);
    }
}
