// What the search cycle and the server list need from a server's storage list.
#pragma once

#include "server_entry.h"

// Rows of the server's storage list.
int NasCount(const ServerEntry* entry);

// Resets the status of the server's storage entries before a search.
void RefreshNasStatusForSearch(ServerEntry* entry);

// Asks for the server's storage list to be read again: its storage flag changed, or it had a
// network error, and its latest reply shows no storage.
void RereadServerStorage(ServerEntry* entry);
