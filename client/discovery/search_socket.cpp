#include "search_socket.h"

#include <cstring>
#include <map>
#include <memory>

#include "broadcast_list.h"
#include "local_addresses.h"
#include "messages.h"
#include "search_packet.h"
#include "udp_socket.h"

SearchSettings g_search;

namespace {
constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFF;
constexpr size_t kMaxDatagram = 65536;
// Every server answers a broadcast search within a few milliseconds, while the GUI thread takes
// a while over each new server; the default receive buffer overflows with a few hundred servers.
constexpr int kSearchReceiveBuffer = 1 << 20;

struct OpenSocket {
    UdpSocket socket;
    HWND window = nullptr;   // gets the PNXM_SEARCH_SOCKET notices
};

// GUI thread: the service window's search socket and the server windows' probe sockets.
OpenSocket g_searchSocket;
std::map<HWND, std::unique_ptr<OpenSocket>> g_probeSockets;

uint32_t NetToHost(uint32_t value) { return ntohl(value); }

// A UDP socket with the broadcast option on an ephemeral port of every interface; its replies
// notify `window`. A system without a usable address still searches through loopback, so a
// bind that finds no address is not fatal. Only the search socket, which hears every server at
// once, gets the large receive buffer: a probe socket hears one server, and a large buffer
// makes each of the many probe sockets several times dearer to open and close.
bool OpenFor(OpenSocket& open, HWND window, bool manyReplies) {
    open.socket.Close();
    open.window = nullptr;
    if (!open.socket.Create(AddressRecord::Ipv4(kLimitedBroadcast, g_search.udpPort), nullptr)) return false;
    if (!open.socket.Bind(AddressRecord::Any(AddressKind::Ipv4)) && open.socket.LastError() != WSAEADDRNOTAVAIL) {
        open.socket.Close();
        return false;
    }
    // A smaller buffer than asked for is not fatal: the next search asks the servers again.
    if (manyReplies) open.socket.SetOption(SOL_SOCKET, SO_RCVBUF, &kSearchReceiveBuffer, sizeof kSearchReceiveBuffer);
    if (!open.socket.AsyncNotice(window, PNXM_SEARCH_SOCKET, FD_READ)) {
        open.socket.Close();
        return false;
    }
    open.window = window;
    return true;
}

bool EnsureOpen(OpenSocket& open, HWND window, bool manyReplies) {
    if (open.socket.Valid() && open.window == window) return true;
    return OpenFor(open, window, manyReplies);
}

bool SendTo(UdpSocket& socket, uint32_t hostOrder, const SearchPacket& packet) {
    AddressRecord to = AddressRecord::Ipv4(hostOrder, g_search.udpPort);
    return socket.Send(&packet, sizeof packet, &to) == static_cast<int>(sizeof packet);
}

// The search or probe socket with this handle, or null: notices for sockets that are closed
// already, or that are none of ours, are not read.
UdpSocket* FindSearchSocket(SOCKET socket) {
    if (socket == INVALID_SOCKET) return nullptr;
    if (g_searchSocket.socket.Valid() && g_searchSocket.socket.Handle() == socket) return &g_searchSocket.socket;
    for (const auto& [window, open] : g_probeSockets) {
        if (open->socket.Valid() && open->socket.Handle() == socket) return &open->socket;
    }
    return nullptr;
}
}  // namespace

void ResetSearchSettings() { g_search = SearchSettings{}; }

std::vector<uint32_t> SearchDestinations(uint32_t flags, const std::vector<uint32_t>& list,
                                         const std::vector<LocalAddress>& adapters) {
    std::vector<uint32_t> destinations;
    if (!(flags & kSearchUdp)) return destinations;
    if (!(flags & kSearchNoLimited)) destinations.push_back(kLimitedBroadcast);
    destinations.insert(destinations.end(), list.begin(), list.end());
    if (!(flags & kSearchAdapters)) return destinations;
    for (const LocalAddress& adapter : adapters) {
        if (adapter.mask == 0) continue;
        uint32_t directed = NetToHost(adapter.address | ~adapter.mask);
        bool known = false;
        // Skip what the list already holds, and a second adapter on the same subnet.
        for (size_t i = (flags & kSearchNoLimited) ? 0 : 1; i < destinations.size() && !known; ++i) {
            known = destinations[i] == directed;
        }
        if (!known) destinations.push_back(directed);
    }
    return destinations;
}

bool SendSearch(HWND window, uint32_t flags) {
    if (!(flags & kSearchUdp)) return true;
    if (flags & kSearchIniList) ReloadBroadcastListFromIni();
    SearchPacket packet = BuildSearchPacket(g_search.rule);
    // The search cycle closes the socket before each cycle; whoever searches next opens it.
    if (!EnsureOpen(g_searchSocket, window, true)) return false;
    std::vector<LocalAddress> adapters;
    if (flags & kSearchAdapters) QueryAdapterAddresses(adapters);
    bool allSent = true;
    for (uint32_t destination : SearchDestinations(flags, BroadcastSearchList(), adapters)) {
        if (!SendTo(g_searchSocket.socket, destination, packet)) allSent = false;
    }
    PostMessageA(window, PNXM_SEARCH_SENT, 0, 0);
    return allSent;
}

bool OpenProbeSocket(HWND serverWindow) {
    if (!serverWindow) return false;
    std::unique_ptr<OpenSocket>& open = g_probeSockets[serverWindow];
    if (!open) open = std::make_unique<OpenSocket>();
    if (EnsureOpen(*open, serverWindow, false)) return true;
    g_probeSockets.erase(serverWindow);
    return false;
}

int SearchToAddress(HWND serverWindow, uint32_t ipv4) {
    if (!OpenProbeSocket(serverWindow)) return 0;
    SearchPacket packet = BuildSearchPacket(g_search.rule);
    return SendTo(g_probeSockets[serverWindow]->socket, NetToHost(ipv4), packet) ? 1 : 0;
}

void CloseProbeSocket(HWND serverWindow) { g_probeSockets.erase(serverWindow); }

void CloseSearchSockets() {
    g_searchSocket.socket.Close();
    g_searchSocket.window = nullptr;
    g_probeSockets.clear();
}

int ReceiveSearchReply(WPARAM socket, LPARAM notice, uint8_t* buffer, size_t capacity, AddressRecord* from) {
    if (!buffer || capacity == 0) return 0;
    if (WSAGETSELECTEVENT(notice) != FD_READ || WSAGETSELECTERROR(notice) != 0) return 0;
    UdpSocket* udp = FindSearchSocket(static_cast<SOCKET>(socket));
    if (!udp) return 0;
    std::memset(buffer, 0, capacity < kSearchReplyZeroed ? capacity : kSearchReplyZeroed);
    // The whole datagram is read, however long, and one longer than a reply is refused: a
    // truncated read would leave its refusal to each system's handling of the error.
    static std::vector<uint8_t> scratch(kMaxDatagram);  // GUI thread
    int length = udp->Receive(scratch.data(), scratch.size(), from);
    if (length <= 0) return 0;
    size_t limit = capacity < kSearchReplyCapacity ? capacity : kSearchReplyCapacity;
    if (static_cast<size_t>(length) > limit) return 0;
    std::memcpy(buffer, scratch.data(), static_cast<size_t>(length));
    return AcceptSearchReply(buffer, static_cast<size_t>(length), g_search.rule) ? length : 0;
}

bool SearchReplyWaiting(WPARAM socket) {
    if (!FindSearchSocket(static_cast<SOCKET>(socket))) return false;
    u_long pending = 0;
    return ioctlsocket(static_cast<SOCKET>(socket), FIONREAD, &pending) == 0 && pending > 0;
}
