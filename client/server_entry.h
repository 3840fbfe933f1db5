// The server list's records: the entry behind an HPnxSv, the library's own server record and
// the caller-visible ServerInfo block it owns.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
// Caller-owned record filled by PnxGetServerInfo; also the information block of a server record.
struct ServerInfo {
    uint32_t ipAddress;          // network byte order
    uint8_t hardwareAddress[6];
    char hostName[16];
    char modelName[33];
    uint16_t rwpLevel;           // 1..4
    char firmwareVersion[16];
    uint8_t extraData[64];
    uint32_t extraDataLength;
    uint16_t extraDataKind;      // 0 raw, 1 seven bytes, 2 sixty-four bytes
    uint16_t functionWordPrevious;
    uint16_t functionWord;       // 1 Encryption, 2 Wireless, 4 keep-alive, 8 Access Point, 0x10
    uint16_t statusWordPrevious;
    uint16_t statusWord;         // 1 Over current, 2 No Device, 4 Network Error, 8 Get Status
    uint16_t optionWordPrevious;
    uint16_t optionWord;
};
#pragma pack(pop)
static_assert(sizeof(ServerInfo) == 159);
static_assert(offsetof(ServerInfo, hardwareAddress) == 4);
static_assert(offsetof(ServerInfo, hostName) == 10);
static_assert(offsetof(ServerInfo, modelName) == 26);
static_assert(offsetof(ServerInfo, rwpLevel) == 59);
static_assert(offsetof(ServerInfo, firmwareVersion) == 61);
static_assert(offsetof(ServerInfo, extraData) == 77);
static_assert(offsetof(ServerInfo, extraDataLength) == 141);
static_assert(offsetof(ServerInfo, extraDataKind) == 145);
static_assert(offsetof(ServerInfo, functionWordPrevious) == 147);
static_assert(offsetof(ServerInfo, functionWord) == 149);
static_assert(offsetof(ServerInfo, statusWordPrevious) == 151);
static_assert(offsetof(ServerInfo, statusWord) == 153);
static_assert(offsetof(ServerInfo, optionWordPrevious) == 155);
static_assert(offsetof(ServerInfo, optionWord) == 157);

// One per server, owned by its ServerEntry. The server session adds its channel state.
struct ServerRecord {
    ServerInfo* info = nullptr;  // heap block; null until the first accepted search reply
    uintptr_t callerValue = 0;   // PnxGetServerParam / PnxSetServerParam
    uint16_t callerOption = 0;   // PnxSetServerOption
    uint16_t analysisState = 0;  // the server session's analysis state
    uint16_t timerKind = 0;      // active session timer: 0 none, 1 TimeOut, 2 Status
    uint16_t timerCount = 0;     // retries of the active timer
    uint32_t versionMajor = 0;   // the version of the last accepted reply
    uint32_t versionMinor = 0;
    uint32_t versionBuild = 0;
    char rwpVersionText[16] = {};  // the reply's version text, always terminated
    uint16_t rwpPort = 0;        // source port of the last search reply (the server's RWP port)
    bool searched = false;       // asked again by the running search cycle
    bool notSeen = false;        // not heard since the renew-all or subnet check began
    bool reexamine = false;      // another server showed the same IPv4 text: look again
    bool storage = false;        // the server has network storage
    uint32_t localAddress = 0;   // this PC's address toward the server, network byte order
    uint32_t localMask = 0;      // its mask, network byte order

    // The server session (server window).
    uint32_t localSegment = 0;   // localAddress AND localMask
    HWND channel1 = nullptr;     // monitor channel to the RWP port: device lists
    HWND channel2 = nullptr;     // monitor channel to port 19541: storage lists
    ULONGLONG lastNetworkNotice = 0;  // tick of the last network-error notice
    bool networkNoticeSent = false;   // lastNetworkNotice holds a tick
    bool keepAliveTimer = false;      // timer 5 runs
    bool blackoutWatch = false;       // the blackout check is on for this server
    bool blackoutTimer = false;       // timer 7 runs
    bool closing = false;        // its window is being destroyed: nothing may start on it

    // What the device-list update does with devices that vanish from a reply.
    bool removeMissing = false;      // delete them rather than keep them with status 4
    bool keepRemoveMissing = false;  // removeMissing survives a reply without devices
    bool deviceDeleteMark = false;   // a device was marked for deletion by the last reply
};

// The item data of a server list row; HPnxSv is a pointer to it. The server window keeps a
// pointer to it in its window user data.
struct ServerEntry {
    HWND owner = nullptr;         // the service window
    HWND serverWindow = nullptr;
    ServerRecord* record = nullptr;
};

// The server entry that a server window belongs to, or null.
inline ServerEntry* ServerEntryOfWindow(HWND serverWindow) {
    if (!serverWindow || !IsWindow(serverWindow)) return nullptr;
    return reinterpret_cast<ServerEntry*>(GetWindowLongPtrA(serverWindow, GWLP_USERDATA));
}
