// The server's identity as the settings store keeps it beside each device of the server.
#pragma once

#include "server_entry.h"

// Writes the identity of a server under `name` (a device key) in the settings location:
// an INI file section, or the registry key "Device\<name>" below the location's key.
// False for a missing argument or when nothing could be written.
bool WriteServerIdentity(const char* location, const char* name, const ServerInfo& info);
