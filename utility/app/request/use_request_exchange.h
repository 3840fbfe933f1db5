// The state of one request-use exchange and how it moves: the holder's side (the one server
// window on port 49300) and the requester's side (one client window per outgoing request).
// No window or socket here: what the exchange needs from the world goes through
// RequestTransport, which the request windows implement with a socket and window timers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "use_request_codec.h"

constexpr int kHolderCountdownTimer = 1;   // every second while the holder counts down
constexpr int kRequesterPollTimer = 2;     // the requester's time queries
constexpr uint32_t kCountdownTickMs = 1000;
constexpr uint32_t kPollFastMs = 1000;
constexpr uint32_t kPollSlowMs = 10000;
constexpr uint32_t kCountdownRepeatPauseMs = 100;  // between SRU_PORT and SRU_COUNTDOWN

class RequestTransport {
public:
    virtual ~RequestTransport() = default;
    // Sends one datagram; the bytes sent or -1.
    virtual int Send(uint32_t address, uint16_t port, const uint8_t* data, size_t size) = 0;
    // Hands a record to the owner window (peerAddress in network order).
    virtual void Notify(const UseRequestRecord& record, uint32_t peerAddress) = 0;
    virtual void StartTimer(int id, uint32_t milliseconds) = 0;
    virtual void StopTimer(int id) = 0;
    // True while this PC has an outgoing request of its own.
    virtual bool HasOutgoingRequest() = 0;
    // The exchange is over: the (client) window stops listening at once and goes once the
    // owner has been told.
    virtual void Close() = 0;
    virtual void Pause(uint32_t milliseconds) = 0;
};

struct RequestExchangeState {
    bool holder = false;           // the server window's state
    uint16_t command = 0;          // last command sent or received
    uint32_t busy = 0;             // 1 while the holder is engaged with a requester
    uint32_t peerAddress = 0;      // IPv4, network order; 0 for an idle holder
    uint16_t peerPort = 0;         // host order
    char ownPcName[kRequestPcNameSize] = {};
    char peerPcName[kRequestPcNameSize] = {};
    uint8_t hardwareAddress[6] = {};
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    char deviceName[kRequestDeviceNameSize] = {};
    char locations[kRequestLocationsSize] = {};
    uint32_t countdown = 0;        // 1 while a countdown runs
    uint32_t totalSeconds = 0;
    uint32_t remainingSeconds = 0;
    uint32_t pollInterval = 0;     // ms
    bool countdownTimer = false;   // holder's timer 1 runs
    bool pollTimer = false;        // requester's timer 2 runs
    bool finished = false;         // the requester's exchange has ended (5, 6 or 8 received)
};

// Sends the state's current command to its peer (seconds carried while counting down).
int SendExchangePacket(const RequestExchangeState& state, RequestTransport& transport);
// The owner's record of the state.
UseRequestRecord ExchangeRecord(const RequestExchangeState& state);

// One received datagram from address:port (port in host order).
void OnExchangeDatagram(RequestExchangeState& state, RequestTransport& transport, const uint8_t* data,
                        size_t size, uint32_t fromAddress, uint16_t fromPort);
// A window timer of the exchange fired.
void OnExchangeTimer(RequestExchangeState& state, RequestTransport& transport, int timerId);

// The holder's answers to its current peer; each false when nothing could be sent.
bool HolderSendAccepted(RequestExchangeState& state, RequestTransport& transport);
// SRU_REFUSE, SRU_RELEASED or SRU_NOT_FOUND; the holder is idle afterwards.
bool HolderSendFinal(RequestExchangeState& state, RequestTransport& transport, uint16_t command);
bool HolderSendCountdown(RequestExchangeState& state, RequestTransport& transport, bool withCountdown,
                         uint32_t seconds);

// The requester's side.
void RequesterStopPolling(RequestExchangeState& state, RequestTransport& transport);
