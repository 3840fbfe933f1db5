// What the three pages of the options dialog share: their start (mirroring, icon, layout,
// themed background) and the page messages every one of them answers alike.
#pragma once

#include <windows.h>

#include "theme_api.h"

void InitOptionsPage(HWND page, const ThemeItemInfo* layout, int iconId);
// UM_PAGE_CHANGED enables Apply of the container; UM_PAGE_VALIDATE answers `valid`;
// WM_DESTROY frees the page icon. TRUE when the message was one of them.
BOOL HandleCommonPageMessage(HWND page, UINT message, bool valid);
