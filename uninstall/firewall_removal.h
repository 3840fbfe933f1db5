// Removal of the firewall rules the setup added through the setup helper library.
#pragma once

#include "uninstall_context.h"

// 1 when the library was used (or lacked a call), 0 when skipped.
int RemoveFirewallEntries(HWND page, UninstallContext* context);

// The server search port, kept while another application still uses the bus driver.
constexpr int kSearchPort = 19540;
