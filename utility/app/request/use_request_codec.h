// The datagram that two utilities exchange on UDP 49300 to ask for, grant, refuse and release
// the use of a device, and the record that a received datagram is handed on as. Pure functions
// with no window or socket: the receiving side is compiled for fuzzing as well.
//
// Layout (numbers big-endian): u16 total length, u16 command, 6-byte server hardware address
// (raw), u16 vendor id, u16 product id, device name, location list and sending PC name (each
// zero-terminated), u32 seconds. Total length = 21 + the three string lengths.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t kRequestUdpPort = 49300;

enum UseRequestCommand : uint16_t {
    SRU_REQUEST = 1,
    SRU_CANCEL = 2,
    SRU_ACCEPT = 3,
    SRU_REFUSE = 4,
    SRU_RELEASED = 5,
    SRU_BUSY = 6,
    SRU_PORT = 7,
    SRU_NOT_FOUND = 8,
    SRU_COUNTDOWN = 9,
    SRU_TIME_QUERY = 10,
    SRU_TIME = 11,
};

constexpr size_t kRequestPcNameSize = 257;
constexpr size_t kRequestDeviceNameSize = 65;
constexpr size_t kRequestLocationsSize = 2049;
constexpr size_t kRequestFixedBytes = 21;            // header, three terminators and seconds
constexpr size_t kRequestWireStringMax = 1023;       // characters written per string
constexpr size_t kRequestDatagramMax = kRequestFixedBytes + 3 * kRequestWireStringMax;
constexpr size_t kRequestReceiveBytes = 4096;        // one read; larger than any datagram sent

// What one exchange is about, as handed to the owner window (wParam of UM_REQUEST_RECORD).
struct UseRequestRecord {
    uint16_t command;
    char ownPcName[kRequestPcNameSize];
    char otherPcName[kRequestPcNameSize];
    uint8_t hardwareAddress[6];
    uint16_t vendorId;
    uint16_t productId;
    char deviceName[kRequestDeviceNameSize];
    char locations[kRequestLocationsSize];
    uint32_t seconds;
};

// The fields of one datagram.
struct RequestPacket {
    uint16_t command;
    uint8_t hardwareAddress[6];
    uint16_t vendorId;
    uint16_t productId;
    char deviceName[kRequestDeviceNameSize];
    char locations[kRequestLocationsSize];
    char pcName[kRequestPcNameSize];
    uint32_t seconds;
};

// Writes the datagram into `out` (zero-filled, each string cut to 1023 characters) and returns
// its length; 0 when `capacity` is too small for it.
size_t BuildRequestPacket(const RequestPacket& packet, uint8_t* out, size_t capacity);

// Reads a received datagram. False (and `packet` left as it was) for fewer than 21 bytes, a
// length field below 21 or above the bytes received, a string without its terminator inside
// the length, or no room for the seconds after the third terminator. Each string is cut to its
// field; the PC name is upper-cased.
bool ParseRequestPacket(const uint8_t* data, size_t size, RequestPacket* packet);

// Copies a text into a fixed field, cut and always terminated.
void CopyRequestText(char* to, size_t toSize, const char* from);
// ASCII upper case in place (the PC names are 8-bit host names).
void UpperRequestText(char* text);
