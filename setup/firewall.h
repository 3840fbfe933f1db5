// Firewall rules of the installed programs through the setup helper library, recorded for
// the uninstaller, and the temporary rule of a program run straight from the setup medium.
#pragma once

#include "setup_context.h"

// Protocol numbers of the helper library's port calls.
constexpr int kFirewallUdp = 1;
constexpr int kFirewallOtherProtocol = 0;

void SetFirewall(HWND page, SetupContext* context);
// 1 when the page's check box is off (nothing done), 0 after running.
int RunFromMedium(HWND page, SetupContext* context);
bool AddDirectFirewallRules(SetupContext* context, const char* ruleName, const char* programPath,
                            const char* description);
void RemoveDirectFirewallRules(SetupContext* context, const char* ruleName, const char* programPath);
