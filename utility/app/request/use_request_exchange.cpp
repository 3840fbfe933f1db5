// How a request-use exchange reacts to datagrams, timers and the holder's answers.
#include "use_request_exchange.h"

#include <cstring>

namespace {

RequestPacket PacketOf(const RequestExchangeState& state) {
    RequestPacket packet{};
    packet.command = state.command;
    std::memcpy(packet.hardwareAddress, state.hardwareAddress, 6);
    packet.vendorId = state.vendorId;
    packet.productId = state.productId;
    CopyRequestText(packet.deviceName, sizeof packet.deviceName, state.deviceName);
    CopyRequestText(packet.locations, sizeof packet.locations, state.locations);
    CopyRequestText(packet.pcName, sizeof packet.pcName, state.ownPcName);
    packet.seconds = state.countdown ? state.remainingSeconds : 0;
    return packet;
}

int SendPacketTo(const RequestPacket& packet, RequestTransport& transport, uint32_t address, uint16_t port) {
    uint8_t buffer[kRequestDatagramMax];
    const size_t length = BuildRequestPacket(packet, buffer, sizeof buffer);
    if (length == 0) return -1;
    return transport.Send(address, port, buffer, length);
}

void StopTimer(RequestExchangeState& state, RequestTransport& transport, int id) {
    bool& running = id == kHolderCountdownTimer ? state.countdownTimer : state.pollTimer;
    if (!running) return;
    transport.StopTimer(id);
    running = false;
}

void StartTimer(RequestExchangeState& state, RequestTransport& transport, int id, uint32_t ms) {
    transport.StartTimer(id, ms);
    (id == kHolderCountdownTimer ? state.countdownTimer : state.pollTimer) = true;
}

// The owner may pump messages while it handles a record (a modal dialog, a connect batch),
// in which this exchange sees further datagrams and timers or its window is destroyed: every
// caller has finished with the state before it notifies, so Notify is always the last step.
void Notify(const RequestExchangeState& state, RequestTransport& transport) {
    const UseRequestRecord record = ExchangeRecord(state);
    const uint32_t peer = state.peerAddress;
    transport.Notify(record, peer);
}

void TakeFields(RequestExchangeState& state, const RequestPacket& packet) {
    state.command = packet.command;
    std::memcpy(state.hardwareAddress, packet.hardwareAddress, 6);
    state.vendorId = packet.vendorId;
    state.productId = packet.productId;
    CopyRequestText(state.deviceName, sizeof state.deviceName, packet.deviceName);
    CopyRequestText(state.locations, sizeof state.locations, packet.locations);
    CopyRequestText(state.peerPcName, sizeof state.peerPcName, packet.pcName);
}

void ReturnToIdle(RequestExchangeState& state, RequestTransport& transport) {
    state.busy = 0;
    state.peerAddress = 0;
    state.peerPort = 0;
    StopTimer(state, transport, kHolderCountdownTimer);
    state.countdown = 0;
    state.totalSeconds = 0;
    state.remainingSeconds = 0;
    state.pollInterval = 0;
}

bool FromPeer(const RequestExchangeState& state, uint32_t address, uint16_t port) {
    return state.peerAddress == address && state.peerPort == port;
}

// A request while engaged (or while this PC asks for a device itself): the current peer is
// told again that the device will be released, anyone else that the holder is busy. The
// running exchange keeps its device and peer.
void AnswerWhileEngaged(RequestExchangeState& state, RequestTransport& transport, const RequestPacket& packet,
                        uint32_t fromAddress, uint16_t fromPort) {
    if (state.busy && FromPeer(state, fromAddress, fromPort)) {
        HolderSendCountdown(state, transport, state.countdown != 0, state.totalSeconds);
        return;
    }
    RequestPacket busy = PacketOf(state);
    std::memcpy(busy.hardwareAddress, packet.hardwareAddress, 6);
    busy.vendorId = packet.vendorId;
    busy.productId = packet.productId;
    CopyRequestText(busy.deviceName, sizeof busy.deviceName, packet.deviceName);
    CopyRequestText(busy.locations, sizeof busy.locations, packet.locations);
    busy.command = SRU_BUSY;
    SendPacketTo(busy, transport, fromAddress, fromPort);
}

void OnHolderDatagram(RequestExchangeState& state, RequestTransport& transport, const RequestPacket& packet,
                      uint32_t fromAddress, uint16_t fromPort) {
    switch (packet.command) {
        case SRU_REQUEST:
            if (state.busy || transport.HasOutgoingRequest()) {
                AnswerWhileEngaged(state, transport, packet, fromAddress, fromPort);
                return;
            }
            TakeFields(state, packet);
            state.peerAddress = fromAddress;
            state.peerPort = fromPort;
            state.busy = 1;
            Notify(state, transport);
            return;
        case SRU_CANCEL: {
            if (!state.busy || !FromPeer(state, fromAddress, fromPort)) return;
            TakeFields(state, packet);
            const UseRequestRecord record = ExchangeRecord(state);
            ReturnToIdle(state, transport);
            transport.Notify(record, fromAddress);
            return;
        }
        case SRU_TIME_QUERY:
            if (!state.busy || !FromPeer(state, fromAddress, fromPort)) return;
            state.command = SRU_TIME;
            SendExchangePacket(state, transport);
            return;
        default:
            return;  // answers are for requesters
    }
}

void OnTimeReport(RequestExchangeState& state, RequestTransport& transport, uint32_t seconds) {
    state.remainingSeconds = seconds;
    if (seconds == 0) {
        StopTimer(state, transport, kRequesterPollTimer);
    } else if (seconds < 70 && state.pollInterval == kPollSlowMs) {
        state.pollInterval = kPollFastMs;
        StopTimer(state, transport, kRequesterPollTimer);
        StartTimer(state, transport, kRequesterPollTimer, kPollFastMs);
    }
    Notify(state, transport);
}

void OnRequesterDatagram(RequestExchangeState& state, RequestTransport& transport, const RequestPacket& packet,
                         uint32_t fromAddress, uint16_t fromPort) {
    // Answers come from the holder asked and from the port this PC sent to (a holder answers
    // from the port it listens on); anyone else may be a spoof. An ended exchange takes none.
    if (state.finished || !FromPeer(state, fromAddress, fromPort)) return;
    if (packet.command < SRU_ACCEPT || packet.command > SRU_TIME || packet.command == SRU_TIME_QUERY) return;
    TakeFields(state, packet);
    switch (packet.command) {
        case SRU_ACCEPT:
        case SRU_REFUSE:
            StopTimer(state, transport, kRequesterPollTimer);
            Notify(state, transport);
            return;
        case SRU_RELEASED:
        case SRU_BUSY:
        case SRU_NOT_FOUND:
            // Over before the owner hears of it: the owner's connect batch pumps messages,
            // in which no time query may go out and no second answer may be taken.
            StopTimer(state, transport, kRequesterPollTimer);
            state.finished = true;
            transport.Close();
            Notify(state, transport);
            return;
        case SRU_PORT:
            Notify(state, transport);
            return;
        case SRU_COUNTDOWN:
            state.countdown = 1;
            state.totalSeconds = state.remainingSeconds = packet.seconds;
            state.pollInterval = packet.seconds < 61 ? kPollFastMs : kPollSlowMs;
            StopTimer(state, transport, kRequesterPollTimer);
            StartTimer(state, transport, kRequesterPollTimer, state.pollInterval);
            Notify(state, transport);
            return;
        case SRU_TIME:
            OnTimeReport(state, transport, packet.seconds);
            return;
        default:
            return;
    }
}

}  // namespace

UseRequestRecord ExchangeRecord(const RequestExchangeState& state) {
    UseRequestRecord record{};
    record.command = state.command;
    CopyRequestText(record.ownPcName, sizeof record.ownPcName, state.ownPcName);
    CopyRequestText(record.otherPcName, sizeof record.otherPcName, state.peerPcName);
    std::memcpy(record.hardwareAddress, state.hardwareAddress, 6);
    record.vendorId = state.vendorId;
    record.productId = state.productId;
    CopyRequestText(record.deviceName, sizeof record.deviceName, state.deviceName);
    CopyRequestText(record.locations, sizeof record.locations, state.locations);
    record.seconds = state.remainingSeconds;
    return record;
}

int SendExchangePacket(const RequestExchangeState& state, RequestTransport& transport) {
    return SendPacketTo(PacketOf(state), transport, state.peerAddress, state.peerPort);
}

void OnExchangeDatagram(RequestExchangeState& state, RequestTransport& transport, const uint8_t* data,
                        size_t size, uint32_t fromAddress, uint16_t fromPort) {
    RequestPacket packet{};
    if (!ParseRequestPacket(data, size, &packet)) return;
    if (state.holder) {
        OnHolderDatagram(state, transport, packet, fromAddress, fromPort);
    } else {
        OnRequesterDatagram(state, transport, packet, fromAddress, fromPort);
    }
}

void OnExchangeTimer(RequestExchangeState& state, RequestTransport& transport, int timerId) {
    if (timerId == kHolderCountdownTimer) {
        if (state.remainingSeconds <= 1) {
            StopTimer(state, transport, kHolderCountdownTimer);
            state.remainingSeconds = 0;
        } else {
            --state.remainingSeconds;
        }
        state.command = SRU_TIME;
        Notify(state, transport);  // locally only
    } else if (timerId == kRequesterPollTimer && !state.finished) {
        state.remainingSeconds = 0;
        state.command = SRU_TIME_QUERY;
        SendExchangePacket(state, transport);
    }
}

bool HolderSendAccepted(RequestExchangeState& state, RequestTransport& transport) {
    state.command = SRU_ACCEPT;
    const bool sent = SendExchangePacket(state, transport) >= 0;
    StopTimer(state, transport, kHolderCountdownTimer);
    return sent;
}

bool HolderSendFinal(RequestExchangeState& state, RequestTransport& transport, uint16_t command) {
    state.command = command;
    const bool sent = SendExchangePacket(state, transport) >= 0;
    ReturnToIdle(state, transport);
    return sent;
}

bool HolderSendCountdown(RequestExchangeState& state, RequestTransport& transport, bool withCountdown,
                         uint32_t seconds) {
    state.totalSeconds = state.remainingSeconds = seconds;
    state.countdown = 0;
    state.command = SRU_PORT;
    bool sent = SendExchangePacket(state, transport) >= 0;
    if (withCountdown) {
        transport.Pause(kCountdownRepeatPauseMs);
        state.countdown = 1;
        state.totalSeconds = state.remainingSeconds = seconds;
        state.command = SRU_COUNTDOWN;
        sent = SendExchangePacket(state, transport) >= 0 && sent;
        StopTimer(state, transport, kHolderCountdownTimer);
        StartTimer(state, transport, kHolderCountdownTimer, kCountdownTickMs);
    }
    return sent;
}

void RequesterStopPolling(RequestExchangeState& state, RequestTransport& transport) {
    StopTimer(state, transport, kRequesterPollTimer);
}
