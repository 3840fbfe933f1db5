// The two blocking ways of running a request/response exchange with a device server: the
// command exchange, which gives an answer code, and the blocking request, which gives the
// reply bytes. Both block the calling thread and must be called with no lock held.
#pragma once

#include <cstddef>
#include <cstdint>

#include "address_record.h"

class UdpSocket;
class CRwpStreamRecv;

// Answer codes of the command exchange.
constexpr int kRwpAnswerNone = -1;  // no complete reply within the tries
constexpr int kRwpAnswerOk = 0;
constexpr int kRwpAnswerNg = 1;     // reply text begins with "er" or "ng" (any case)
constexpr int kRwpAnswerDeny = 2;   // reply text begins with "deny" (any case)

constexpr size_t kRwpPrefixSize = 12;
constexpr size_t kRwpCommandReplySize = 1280;

// Code of a reply text (pure; the text need not be terminated).
int ClassifyRwpAnswer(const uint8_t* reply, size_t length);

// Sends command `commandIndex` to `server` (address and port) with the parameters `prefix`
// (12 bytes, or null for none) followed by `params`, and gives the answer code.
// timeoutMs 0: the process-wide time-out of one try (RwpTimeout); another value applies to
// this exchange alone.
int RwpCommandExchange(const AddressRecord& server, int commandIndex, const uint8_t* prefix,
                       const void* params, size_t paramLength, uint32_t timeoutMs = 0);

// Runs an exchange whose type-1 request is already built in `stream`: sends, retries each
// request up to 4 times per time-out, sends the next or end request as soon as a fragment is
// taken. Gives the received length when the end reply came, else -1.
int RwpExchangeLoop(UdpSocket& socket, CRwpStreamRecv& stream, int commandIndex, uint32_t timeoutMs = 0);

// Fetches the whole reply to `command` from the IPv4 server (address in network byte order,
// port in host byte order) into `reply`: 88-byte requests from a fresh socket, up to 5 sends
// per fragment. Gives the total length, or -1 when a fragment did not come or the reply does
// not fit `capacity`.
int RwpBlockingRequest(uint32_t serverAddressNet, const char* command, uint8_t* reply,
                       size_t capacity, uint16_t port);
