#include "udp_socket.h"

#include <ws2tcpip.h>
#include <cstdio>
#include <cstring>
#include <memory>

#include "win_handles.h"

namespace {

constexpr int kIpxProtocol = 1004;
constexpr uint32_t kSendAndWaitTotal = 1000;  // ms
constexpr uint32_t kSendAndWaitSlice = 500;   // ms

bool IsRealError(int error) { return error != 0 && error != WSAEWOULDBLOCK; }

}  // namespace

void UdpSocket::KeepError(int error) { lastError_ = error; }

bool UdpSocket::Create(const AddressRecord& peer, const AddressRecord* local) {
    Close();
    peer_ = peer;
    lastError_ = 0;
    switch (peer.kind) {
    case AddressKind::Ipv4:
        socket_.reset(::socket(AF_INET, SOCK_DGRAM, 0));
        break;
    case AddressKind::Ipx:
        socket_.reset(::socket(AF_IPX, SOCK_DGRAM, kIpxProtocol));
        break;
    case AddressKind::Ipv6: {
        const uint8_t* a = peer.ipv6.sin6_addr.s6_addr;
        char host[48];
        std::snprintf(host, sizeof(host),
                      "%02X%02X:%02X%02X:%02X%02X:%02X%02X:%02X%02X:%02X%02X:%02X%02X:%02X%02X",
                      a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11],
                      a[12], a[13], a[14], a[15]);
        char port[8];
        std::snprintf(port, sizeof(port), "%u", unsigned(peer.Port()));
        addrinfo hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_protocol = IPPROTO_UDP;
        addrinfo* found = nullptr;
        int rc = ::getaddrinfo(host, port, &hints, &found);
        if (rc != 0) {
            KeepError(rc);
            return false;
        }
        std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, ::freeaddrinfo);
        for (addrinfo* ai = list.get(); ai && !socket_.valid(); ai = ai->ai_next)
            socket_.reset(::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol));
        break;
    }
    default:
        KeepError(WSAEAFNOSUPPORT);
        return false;
    }
    if (!socket_.valid()) {
        KeepError(::WSAGetLastError());
        return false;
    }
    if (peer.kind != AddressKind::Ipv6 && peer.IsBroadcast()) {
        BOOL on = TRUE;
        if (!SetOption(SOL_SOCKET, SO_BROADCAST, &on, sizeof(on))) {
            Close();
            return false;
        }
    }
    if (local && !Bind(*local)) {
        Close();
        return false;
    }
    return true;
}

bool UdpSocket::CreateBound(uint16_t localPort) {
    Close();
    lastError_ = 0;
    socket_.reset(::socket(AF_INET, SOCK_DGRAM, 0));
    if (!socket_.valid()) {
        KeepError(::WSAGetLastError());
        return false;
    }
    BOOL on = TRUE;
    if (!SetOption(SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) ||
        !Bind(AddressRecord::Any(AddressKind::Ipv4, localPort))) {
        Close();
        return false;
    }
    return true;
}

int UdpSocket::Wait(uint32_t milliseconds, bool readable, bool writable, bool errors) {
    if (!Valid()) return -1;
    fd_set readSet, writeSet, errorSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&errorSet);
    if (readable) FD_SET(socket_.get(), &readSet);
    if (writable) FD_SET(socket_.get(), &writeSet);
    if (errors) FD_SET(socket_.get(), &errorSet);
    timeval timeout;
    timeout.tv_sec = static_cast<long>(milliseconds / 1000);
    timeout.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
    int rc = ::select(0, readable ? &readSet : nullptr, writable ? &writeSet : nullptr,
                      errors ? &errorSet : nullptr, &timeout);
    if (rc == SOCKET_ERROR) {
        KeepError(::WSAGetLastError());
        return -1;
    }
    return rc > 0 ? 1 : 0;
}

int UdpSocket::Receive(void* buffer, size_t capacity, AddressRecord* from) {
    if (!Valid() || !buffer) return -1;
    sockaddr_storage source = {};
    int sourceLength = sizeof(source);
    int rc = ::recvfrom(socket_.get(), static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                        reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (rc == SOCKET_ERROR) {
        int error = ::WSAGetLastError();
        KeepError(error);
        return IsRealError(error) ? -1 : 0;
    }
    if (from) from->FromSockaddr(reinterpret_cast<sockaddr*>(&source), sourceLength);
    return rc;
}

int UdpSocket::Send(const void* data, size_t length, const AddressRecord* to) {
    if (to) peer_ = *to;
    if (!Valid() || !data || !peer_.Valid()) return -1;
    int rc = ::sendto(socket_.get(), static_cast<const char*>(data), static_cast<int>(length), 0,
                      peer_.Sockaddr(), peer_.SockaddrLength());
    if (rc == SOCKET_ERROR) {
        int error = ::WSAGetLastError();
        KeepError(error);
        return IsRealError(error) ? -1 : 0;
    }
    return rc;
}

int UdpSocket::Bind(const AddressRecord& local) {
    if (!Valid()) return 0;
    if (::bind(socket_.get(), local.Sockaddr(), local.SockaddrLength()) == SOCKET_ERROR) {
        KeepError(::WSAGetLastError());
        return 0;
    }
    return 1;
}

int UdpSocket::SetOption(int level, int name, const void* value, int length) {
    if (!Valid()) return 0;
    if (::setsockopt(socket_.get(), level, name, static_cast<const char*>(value), length) ==
        SOCKET_ERROR) {
        KeepError(::WSAGetLastError());
        return 0;
    }
    return 1;
}

int UdpSocket::AsyncNotice(HWND window, UINT message, long events) {
    if (!Valid()) return 0;
    if (::WSAAsyncSelect(socket_.get(), window, message, events) == SOCKET_ERROR) {
        int error = ::WSAGetLastError();
        KeepError(error);
        return IsRealError(error) ? 0 : 1;
    }
    return 1;
}

int UdpSocket::SendAndWait(const AddressRecord& peer, const void* request, size_t requestLength,
                           void* reply, size_t replyCapacity) {
    if (!request || requestLength < 2 || !reply) return -1;
    if (Send(request, requestLength, &peer) != static_cast<int>(requestLength)) return -1;
    const ULONGLONG deadline = ::GetTickCount64() + kSendAndWaitTotal;
    for (;;) {
        ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return -1;
        uint32_t slice = static_cast<uint32_t>(deadline - now);
        if (slice > kSendAndWaitSlice) slice = kSendAndWaitSlice;
        int ready = Wait(slice);
        if (ready < 0) return -1;
        if (ready == 0) continue;
        int received = Receive(reply, replyCapacity);
        if (received <= 0) continue;  // would block, or an error report for an earlier send
        if (received < 2 || std::memcmp(reply, request, 2) != 0) return -1;
        return received;
    }
}

void UdpSocket::Close() { socket_.reset(); }
