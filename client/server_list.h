// The server list (service window list 1001): its rows hold the server entries (HPnxSv).
#pragma once

#include <windows.h>

#include <vector>

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

// Destroys the server's window, which reports the server deleted and deletes its row. An
// entry whose window is gone already loses its row here.
void DestroyServerWindow(HWND service, ServerEntry* entry);
