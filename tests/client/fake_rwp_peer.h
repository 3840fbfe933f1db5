// A scripted request/response server on 127.0.0.1 for the protocol tests: a UDP socket served
// by a thread of the test. The script sees each request and returns the datagrams to answer
// with (none = silence). Every request is logged.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace qztest {

using Bytes = std::vector<uint8_t>;

struct RwpRequest {
    uint16_t type = 0;
    uint16_t offset = 0;
    std::string command;  // up to the first zero byte of the command field
    size_t size = 0;      // bytes of the datagram
    Bytes raw;
};

inline RwpRequest DecodeRequest(const Bytes& datagram) {
    RwpRequest request;
    request.raw = datagram;
    request.size = datagram.size();
    if (datagram.size() >= 88) {
        request.type = static_cast<uint16_t>((datagram[0] << 8) | datagram[1]);
        request.offset = static_cast<uint16_t>((datagram[84] << 8) | datagram[85]);
        const char* text = reinterpret_cast<const char*>(datagram.data() + 4);
        request.command.assign(text, strnlen(text, 80));
    }
    return request;
}

// A reply datagram: the 8-byte header (length = data size unless given) and the data.
inline Bytes Reply(uint16_t type, uint16_t more, uint16_t offset, const Bytes& data,
                   int lengthField = -1) {
    uint16_t length = lengthField < 0 ? static_cast<uint16_t>(data.size())
                                      : static_cast<uint16_t>(lengthField);
    const uint16_t fields[4] = {type, more, offset, length};
    Bytes out(8 + data.size());
    for (size_t i = 0; i < 4; ++i) {
        out[2 * i] = static_cast<uint8_t>(fields[i] >> 8);
        out[2 * i + 1] = static_cast<uint8_t>(fields[i]);
    }
    for (size_t i = 0; i < data.size(); ++i) out[8 + i] = data[i];
    return out;
}

// A reply body of `size` bytes with a recognisable pattern.
inline Bytes Pattern(size_t size) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>('A' + (i * 7 + i / 251) % 26);
    return data;
}

// What an honest server answers: the fragment at the offset asked, at most 512 bytes; the end
// request gets an empty end reply.
inline std::vector<Bytes> HonestAnswer(const RwpRequest& request, const Bytes& body) {
    if (request.type == 3) return {Reply(3, 0, request.offset, {})};
    size_t offset = request.type == 1 ? 0 : request.offset;
    if (offset > body.size()) offset = body.size();
    size_t length = std::min<size_t>(512, body.size() - offset);
    Bytes data(body.begin() + offset, body.begin() + offset + length);
    uint16_t more = offset + length < body.size() ? 1 : 0;
    return {Reply(request.type, more, static_cast<uint16_t>(offset), data)};
}

class FakeRwpPeer {
public:
    using Script = std::function<std::vector<Bytes>(const RwpRequest& request, size_t index)>;

    explicit FakeRwpPeer(Script script) : script_(std::move(script)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof(local));
        int length = sizeof(local);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length);
        port_ = ntohs(local.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeRwpPeer() {
        stop_ = true;
        thread_.join();
        ::closesocket(socket_);
        WSACleanup();
    }
    FakeRwpPeer(const FakeRwpPeer&) = delete;
    FakeRwpPeer& operator=(const FakeRwpPeer&) = delete;

    uint16_t Port() const { return port_; }
    std::vector<RwpRequest> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void Serve() {
        while (!stop_) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(socket_, &set);
            timeval timeout = {0, 20000};
            if (::select(0, &set, nullptr, nullptr, &timeout) <= 0) continue;
            char buffer[2048];
            sockaddr_in from = {};
            int fromLength = sizeof(from);
            int size = ::recvfrom(socket_, buffer, sizeof(buffer), 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (size <= 0) continue;
            RwpRequest request = DecodeRequest(Bytes(buffer, buffer + size));
            size_t index;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                index = requests_.size();
                requests_.push_back(request);
            }
            for (const Bytes& reply : script_(request, index))
                ::sendto(socket_, reinterpret_cast<const char*>(reply.data()),
                         static_cast<int>(reply.size()), 0, reinterpret_cast<sockaddr*>(&from),
                         fromLength);
        }
    }

    Script script_;
    SOCKET socket_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;  // guards requests_
    std::vector<RwpRequest> requests_;
    std::thread thread_;
};

}  // namespace qztest
