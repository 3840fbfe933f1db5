// The one way to the notification area.
#pragma once

#include <windows.h>
#include <shellapi.h>

// The call's result is passed through.
BOOL TrayNotify(DWORD message, NOTIFYICONDATAW* data);
