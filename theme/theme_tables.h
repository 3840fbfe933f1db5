// The theme's own layout and button rows and the server icon rule.
#pragma once

#include "theme_api.h"

// Copies the rectangle of every theme row of `dialogId` whose control id matches the caller's
// row (the last match wins). False when the row is null or the dialog has no table.
bool ApplyThemeItem(ThemeItemInfo* row, int dialogId);
// The same rule for button rows: copies the four colours and the style.
bool ApplyThemeButton(ThemeOdBtnInfo* row, int dialogId);
// Image index of a server in the server image list: the model kind by its first three
// letters, plus one for state 1. A null name counts as empty.
int ServerImageIndex(const wchar_t* name, uint16_t state);
// Icon ids of the server image list, in list order, ended by -1.
const int* ServerIconIds();
