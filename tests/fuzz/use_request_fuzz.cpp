// Feeds arbitrary datagrams to the request-use parser and to both sides of an exchange: every
// text stays terminated inside its field, a parsed datagram builds again to no more than the
// largest datagram, and the exchange never sends to an address it was not given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "use_request_codec.h"
#include "use_request_exchange.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

template <size_t N>
void CheckTerminated(const char (&text)[N]) {
    Check(strnlen(text, N) < N);
}

constexpr uint32_t kPeer = 0x0A00010A;

class CheckingTransport : public RequestTransport {
public:
    int Send(uint32_t address, uint16_t, const uint8_t* data, size_t size) override {
        Check(address == kPeer);
        Check(size <= kRequestDatagramMax);
        RequestPacket back{};
        Check(ParseRequestPacket(data, size, &back));
        return static_cast<int>(size);
    }
    void Notify(const UseRequestRecord& record, uint32_t) override {
        CheckTerminated(record.otherPcName);
        CheckTerminated(record.deviceName);
        CheckTerminated(record.locations);
    }
    void StartTimer(int, uint32_t) override {}
    void StopTimer(int) override {}
    bool HasOutgoingRequest() override { return false; }
    void Close() override {}
    void Pause(uint32_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RequestPacket packet{};
    if (ParseRequestPacket(data, size, &packet)) {
        Check(size >= kRequestFixedBytes);
        CheckTerminated(packet.deviceName);
        CheckTerminated(packet.locations);
        CheckTerminated(packet.pcName);
        uint8_t out[kRequestDatagramMax];
        const size_t length = BuildRequestPacket(packet, out, sizeof out);
        Check(length >= kRequestFixedBytes && length <= kRequestDatagramMax);
    }
    CheckingTransport transport;
    RequestExchangeState holder;
    holder.holder = true;
    OnExchangeDatagram(holder, transport, data, size, kPeer, 50000);
    OnExchangeDatagram(holder, transport, data, size, kPeer, 50000);
    OnExchangeTimer(holder, transport, kHolderCountdownTimer);
    RequestExchangeState requester;
    requester.peerAddress = kPeer;
    requester.peerPort = kRequestUdpPort;
    OnExchangeDatagram(requester, transport, data, size, kPeer, kRequestUdpPort);
    OnExchangeTimer(requester, transport, kRequesterPollTimer);
    return 0;
}
