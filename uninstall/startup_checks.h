// The checks of stage one before the wizard opens: administrator rights through the setup
// helper library, one uninstaller at a time, and no product program still running.
#pragma once

#include "uninstall_context.h"

// 1 go on, 0 stop.
int CheckUserPrivilegeByDll(UninstallContext* context);
// 1 when this is the only uninstaller; otherwise the first one is brought forward (or
// MESSAGE_12 shown) and 0.
int TakeSingleInstance(UninstallContext* context);
// 1 nothing running, 0 stop.
int CheckRunningApplications(UninstallContext* context);

constexpr UINT kCloseRequestBase = 0x8000;
