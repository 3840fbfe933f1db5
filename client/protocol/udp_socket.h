// The socket wrapper that the library's network code uses: one UDP socket with its peer
// address and the last Windows Sockets error. WSAEWOULDBLOCK counts as no error anywhere.
// A socket that could not be created fails every later call without touching the network.
#pragma once

#include <winsock2.h>

#include <cstddef>
#include <cstdint>

#include "address_record.h"
#include "win_handles.h"

class UdpSocket {
public:
    UdpSocket() = default;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // A datagram socket of the peer's family (IPX: protocol 1004); broadcast option when the
    // peer is the broadcast address; bound to `local` when given. False (error kept) on failure.
    bool Create(const AddressRecord& peer, const AddressRecord* local);
    // A plain IPv4 UDP socket bound to `localPort` on all interfaces, with the broadcast option.
    bool CreateBound(uint16_t localPort);

    bool Valid() const { return socket_.valid(); }
    SOCKET Handle() const { return socket_.get(); }
    const AddressRecord& Peer() const { return peer_; }
    void SetPeer(const AddressRecord& peer) { peer_ = peer; }
    int LastError() const { return lastError_; }

    // select() with the time-out: 1 when any asked condition holds, 0 on time-out, -1 on error.
    int Wait(uint32_t milliseconds, bool readable = true, bool writable = false,
             bool errors = false);
    // recvfrom: the length, 0 when it would block, -1 on another error.
    int Receive(void* buffer, size_t capacity, AddressRecord* from = nullptr);
    // sendto the peer (`to`, when given, replaces the stored peer first): bytes sent, 0 when it
    // would block, -1 on error.
    int Send(const void* data, size_t length, const AddressRecord* to = nullptr);
    // 1 on success, else 0 with the error kept.
    int Bind(const AddressRecord& local);
    int SetOption(int level, int name, const void* value, int length);
    int AsyncNotice(HWND window, UINT message, long events);
    // Sends `request` to `peer`, then waits up to 1000 ms for a datagram (readability polled
    // every 500 ms). -1 when sending fails, nothing arrives, or the reply's first two bytes
    // differ from the request's; else the reply's length.
    int SendAndWait(const AddressRecord& peer, const void* request, size_t requestLength,
                    void* reply, size_t replyCapacity);
    void Close();

private:
    void KeepError(int error);

    qz::Socket socket_;
    AddressRecord peer_;
    int lastError_ = 0;
};
