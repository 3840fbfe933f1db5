// The server list (service window list 1001): its rows hold the server entries (HPnxSv).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "search_reply.h"
#include "server_entry.h"

// The server list control of a service window, or null.
HWND ServerListControl(HWND service);

// A new entry with its record and a zeroed information block; null when memory fails.
ServerEntry* NewServerEntry(HWND service);
// Frees an entry with its record and information block (row deletion of the server list).
void FreeServerEntry(ServerEntry* entry);

// The entries of the list in row order, taken under the library lock. Walk this snapshot
// rather than the rows when anything in the loop can destroy a server window: destroying one
// deletes its row and shifts the rows behind it.
std::vector<ServerEntry*> ServerEntries(HWND service);

// True while the entry is still a row of the list.
bool ServerEntryListed(HWND service, const ServerEntry* entry);

// Sends a message to every server window (none of them under the library lock).
void SendToServerWindows(HWND service, UINT message, WPARAM wParam, LPARAM lParam);

// Deletes the entry's row (which frees the entry); nothing when it is no row.
void RemoveServerRow(HWND service, ServerEntry* entry);

// Destroys the server's window, which reports the server deleted and deletes its row. An
// entry whose window is gone already loses its row here.
void DestroyServerWindow(HWND service, ServerEntry* entry);

// Takes one search reply (accepted by type and rule on receipt) for `window`: the service
// window, or with `server` the server window whose probe socket received it. Steps: type,
// address (0 only with CommunicateMode 4), version gate, filter set A, the detected-server
// list, filter set B; then, with `server`, refreshes that server when the hardware address is
// its own; without, adds the server (row, server window, PNXET_NEW) or refreshes the known one.
// 1 when a server was created or refreshed, 0 when the reply was dropped.
int ServerFromReply(HWND window, const uint8_t* reply, size_t length, ServerEntry* server);
// The same with the source port of the reply (the server's request/response port, kept in
// the record; 0 keeps the port known).
int ServerFromReplyAt(HWND window, const uint8_t* reply, size_t length, ServerEntry* server, uint16_t sourcePort);

// The information block, version and storage flag that a reply gives a server.
struct ReplyServer {
    ServerInfo info = {};
    ReplyVersion version;
    char rwpVersionText[16] = {};
    bool storage = false;
};
// Builds it from a parsed reply (the model table, reply flags and extra data). Status bit 2
// (No Device) of a new server is set by the caller.
void ServerFromParsedReply(const SearchReply& reply, ReplyServer* server);

// True when two information blocks differ in what the client is told about.
bool ServerInfoDiffers(const ServerInfo& a, const ServerInfo& b);
// The PNXET_CHANGE flags between an old and a new block: 1 base (address, host name, model,
// extra data), 2 function word, 4 status or option word.
uint16_t ServerChangeFlags(const ServerInfo& before, const ServerInfo& after);

// The entry whose hardware-address text (column 0) equals `text` (case-insensitive), or null.
ServerEntry* FindServerByHardwareText(HWND service, const char* text);

// Sends PNXN_SERVER change flags 8: the server's analysis finished.
void NotifyAnalysisFinished(HWND serverWindow);
