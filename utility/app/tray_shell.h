// The one way to the notification area: Shell_NotifyIconW, or, when the environment names a
// record file (QZ_TRAY_RECORD), a line per call appended to it as well, so that tests can see
// icons, frames and balloons where the desktop shows none.
#pragma once

#include <windows.h>
#include <shellapi.h>

// `iconId` is the theme icon in the record (0: none); the call's result is passed through.
BOOL TrayNotify(DWORD message, NOTIFYICONDATAW* data, int iconId);
// Appends one line to the record file when recording; used for the menu the tray shows.
void TrayRecord(const wchar_t* format, ...);
