#include "rwp_exchange.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "rwp_commands.h"
#include "rwp_packet.h"
#include "rwp_stream.h"
#include "udp_socket.h"

namespace {

constexpr int kBlockingAttempts = 5;  // sends of one fragment request before giving up

bool StartsWithNoCase(const uint8_t* text, size_t length, const char* prefix) {
    size_t prefixLength = std::strlen(prefix);
    if (length < prefixLength) return false;
    for (size_t i = 0; i < prefixLength; ++i) {
        uint8_t c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c - 'A' + 'a');
        if (c != static_cast<uint8_t>(prefix[i])) return false;
    }
    return true;
}

// Waits for datagrams until `deadline` and feeds them to the stream. True when a fragment was
// taken (the stream then holds the next request), with *complete set when the end reply came.
bool AwaitProgress(UdpSocket& socket, CRwpStreamRecv& stream, ULONGLONG deadline,
                   bool* complete) {
    for (;;) {
        ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        int ready = socket.Wait(static_cast<uint32_t>(deadline - now));
        if (ready < 0) return false;
        if (ready == 0) continue;
        int received = socket.Receive(stream.ReceiveBuffer(), stream.ReceiveCapacity());
        if (received <= 0) continue;
        int result = stream.ParseReply(stream.ReceiveBuffer(), static_cast<size_t>(received));
        if (result == kRwpComplete) {
            *complete = true;
            return true;
        }
        // Duplicates, rejects and overflows leave the request as it is: keep waiting.
        if (result == kRwpParsed) return true;
    }
}

// Sends `request` and waits for a fragment at `offset` that makes progress. False after
// kBlockingAttempts sends without one.
bool FetchFragment(UdpSocket& socket, const AddressRecord& peer, const uint8_t* request,
                   uint8_t* datagram, size_t datagramCapacity, size_t offset,
                   rwp::ReplyFragment& fragment) {
    for (int attempt = 0; attempt < kBlockingAttempts; ++attempt) {
        int received = socket.SendAndWait(peer, request, rwp::kHeaderSize, datagram,
                                          datagramCapacity);
        if (received < 0) continue;
        if (rwp::ParseReplyFragment(datagram, static_cast<size_t>(received), fragment) !=
            rwp::ReplyStatus::Ok)
            continue;
        if (fragment.offset != static_cast<uint16_t>(offset)) continue;
        // An empty fragment that promises more would have us ask the same offset forever.
        if (fragment.more != 0 && fragment.length == 0) continue;
        return true;
    }
    return false;
}

}  // namespace

int ClassifyRwpAnswer(const uint8_t* reply, size_t length) {
    if (!reply) return kRwpAnswerOk;
    if (StartsWithNoCase(reply, length, "er") || StartsWithNoCase(reply, length, "ng"))
        return kRwpAnswerNg;
    if (StartsWithNoCase(reply, length, "deny")) return kRwpAnswerDeny;
    return kRwpAnswerOk;
}

int RwpExchangeLoop(UdpSocket& socket, CRwpStreamRecv& stream, int /*commandIndex*/, uint32_t timeoutMs) {
    const uint32_t timeout = timeoutMs ? timeoutMs : RwpTimeout();
    int tries = 0;
    while (tries < kRwpTries) {
        ++tries;
        int sent = socket.Send(stream.SendData(), stream.SendLength());
        if (sent != static_cast<int>(stream.SendLength())) continue;  // this try is over
        bool complete = false;
        if (!AwaitProgress(socket, stream, ::GetTickCount64() + timeout, &complete)) continue;
        if (complete) return static_cast<int>(stream.ReceivedLength());
        // A fragment was taken: the next or end request goes out at once, with fresh tries.
        tries = 0;
    }
    return -1;
}

int RwpCommandExchange(const AddressRecord& server, int commandIndex, const uint8_t* prefix,
                       const void* params, size_t paramLength, uint32_t timeoutMs) {
    const char* text = RwpCommandText(commandIndex);
    if (!text) return kRwpAnswerNone;
    uint8_t parameters[rwp::kCommandFieldSize];
    size_t parameterLength = 0;
    if (prefix) {
        std::memcpy(parameters, prefix, kRwpPrefixSize);
        parameterLength = kRwpPrefixSize;
    }
    if (params && paramLength) {
        if (paramLength > sizeof(parameters) - parameterLength) return kRwpAnswerNone;
        std::memcpy(parameters + parameterLength, params, paramLength);
        parameterLength += paramLength;
    }

    CRwpStreamRecv stream;
    uint8_t reply[kRwpCommandReplySize];
    stream.SetReplyBuffer(reply, sizeof(reply));
    if (!stream.BuildRequest(text, parameters, parameterLength)) return kRwpAnswerNone;

    UdpSocket socket;
    AddressRecord local = AddressRecord::Any(server.kind);
    if (!socket.Create(server, &local)) return kRwpAnswerNone;
    int received = RwpExchangeLoop(socket, stream, commandIndex, timeoutMs);
    if (received < 0) return kRwpAnswerNone;
    return ClassifyRwpAnswer(reply, std::min(static_cast<size_t>(received), sizeof(reply)));
}

int RwpBlockingRequest(uint32_t serverAddressNet, const char* command, uint8_t* reply,
                       size_t capacity, uint16_t port) {
    if (!command || (!reply && capacity)) return -1;
    uint8_t request[rwp::kHeaderSize];
    if (!rwp::BuildShortRequest(request, rwp::kTypeRequest, command, 0)) return -1;

    const AddressRecord peer = AddressRecord::Ipv4Net(serverAddressNet, port);
    UdpSocket socket;  // closed on every way out
    if (!socket.CreateBound(0)) return -1;

    uint8_t datagram[rwp::kReceiveBufferSize];
    size_t total = 0;
    for (;;) {
        rwp::ReplyFragment fragment;
        if (!FetchFragment(socket, peer, request, datagram, sizeof(datagram), total, fragment))
            return -1;
        if (fragment.length > capacity - total) return -1;
        if (fragment.length) std::memcpy(reply + total, fragment.data, fragment.length);
        total += fragment.length;
        if (fragment.more == 0) {
            // The end handshake only tells the server it may forget the reply; its answer
            // changes nothing here.
            rwp::BuildShortRequest(request, rwp::kTypeEnd, command, static_cast<uint16_t>(total));
            socket.SendAndWait(peer, request, rwp::kHeaderSize, datagram, sizeof(datagram));
            return static_cast<int>(total);
        }
        rwp::BuildShortRequest(request, rwp::kTypeNext, command, static_cast<uint16_t>(total));
    }
}
