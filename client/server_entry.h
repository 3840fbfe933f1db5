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

// One per server, owned by its ServerEntry. The server list code adds the rest of the session
// state (analysis state, timers, version words, marks, addresses toward the server).
struct ServerRecord {
    ServerInfo* info = nullptr;  // heap block; null until the first accepted search reply
    uintptr_t callerValue = 0;   // PnxGetServerParam / PnxSetServerParam
    uint16_t callerOption = 0;   // PnxSetServerOption
    uint16_t analysisState = 0;  // the server session's analysis state
    bool searched = false;       // asked again by the running search cycle
    bool notSeen = false;        // not heard since the renew-all or subnet check began
    uint32_t localAddress = 0;   // this PC's address toward the server, network byte order
    uint32_t localMask = 0;      // its mask, network byte order
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
