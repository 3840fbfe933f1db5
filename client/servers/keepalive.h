// Keep-alive: servers with the ZKA function bit expect to hear every 8 seconds which of their
// ports this PC uses. One UDP socket for the process (owned by the service window) sends the
// datagrams of every server window's keep-alive tick.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t kKeepAlivePort = 49235;        // the servers' port
constexpr uint16_t kKeepAliveMagic = 0x4B41;
constexpr size_t kKeepAlivePortListCapacity = 4160;
constexpr size_t kKeepAliveReadMax = 4096;

#pragma pack(push, 1)
// Head of a keep-alive datagram; both fields big-endian. The port list follows: each port name
// with its zero byte, then one more zero byte.
struct KeepAliveHeader {
    uint16_t length;  // 4 + the bytes of the port list
    uint16_t magic;   // kKeepAliveMagic
};
#pragma pack(pop)
static_assert(sizeof(KeepAliveHeader) == 4);
static_assert(offsetof(KeepAliveHeader, magic) == 2);

// The port list of one datagram, built within kKeepAlivePortListCapacity bytes (the final
// zero byte included): a name that would not fit is left out, never cut.
class KeepAlivePortList {
public:
    // Adds one name; false (nothing added) for an empty name or one that does not fit.
    bool Add(const char* name, size_t length);
    // Adds each name of a comma-separated list; the number added.
    size_t AddList(const char* list);
    bool empty() const { return used_ == 0; }
    // Bytes of the port list as sent (names, their zero bytes and the final zero); 0 when empty.
    size_t ListSize() const { return used_ ? used_ + 1 : 0; }
    // The whole datagram: header and port list; its length field equals its size.
    std::vector<uint8_t> Datagram() const;
    // The port list with its zero bytes shown as blanks, for the log.
    std::string LogText() const;

private:
    uint8_t names_[kKeepAlivePortListCapacity] = {};
    size_t used_ = 0;  // bytes of names and their zero bytes, without the final zero
};

// True for a datagram longer than 3 bytes whose length field is above 3 and whose magic is
// kKeepAliveMagic.
bool IsKeepAliveDatagram(const uint8_t* data, size_t length);

// Port states of the bus driver that count as held by this PC.
bool KeepAlivePortHeld(uint16_t state);

// What the tick does with one device, from its busy value, connect action and status.
enum class KeepAliveChoice { Skip, AddPorts, AskDriver };
KeepAliveChoice ChooseKeepAlive(uint16_t busy, uint16_t connectAction, uint16_t status);

// Opens the process's keep-alive socket (bound to port 0 on all interfaces, broadcast option,
// read notices as `message` to `window`); its datagrams go to `serverPort` of each server. A
// previous socket is closed first. False on any failure.
bool OpenKeepAliveSocket(HWND window, uint16_t serverPort, UINT message);
// 1 when there was none or it closed.
int CloseKeepAliveSocket();
// Reads what the socket notice announced.
void ReadKeepAliveSocketLocked(HWND window, WPARAM wParam, LPARAM lParam);
// Sends a datagram to the server's keep-alive port; false when it did not go out whole.
bool SendKeepAlive(uint32_t serverIpv4, const std::vector<uint8_t>& datagram);

// Timer 5 of a server window: started at its creation for a server with the ZKA bit.
void StartKeepAliveTimer(HWND serverWindow);
void StopKeepAliveTimer(HWND serverWindow);
void OnKeepAliveTick(HWND serverWindow);
