#include "tray_shell.h"

BOOL TrayNotify(DWORD message, NOTIFYICONDATAW* data) { return Shell_NotifyIconW(message, data); }
