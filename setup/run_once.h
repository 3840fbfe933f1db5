// RunOnce values from the script's "RUNONCE_nn" entries: for the machine, the installing user
// and the other users of the computer (through their registry hives).
#pragma once

#include "setup_context.h"

// Writes the values of every ticked, not yet installed application; hive is null for the
// machine pass (every scope but OTHER), else the loaded hive of the user userKey (scope OTHER).
void SetRunOnceEntries(HWND page, SetupContext* context, HKEY hive, const char* userKey);
// The other users' hives first, then the machine pass; nothing without the restore privilege.
void SetUsersRegistry(HWND page, SetupContext* context);
