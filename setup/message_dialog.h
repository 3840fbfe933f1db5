// The warning dialog with Continue and Cancel (several users logged on), sized to its text.
#pragma once

#include "dialog_layout.h"
#include "setup_context.h"

// 1 for Continue, 0 for Cancel (or when the dialog cannot be shown).
int ShowMessageDialog(HWND owner, SetupContext* context, const char* messageKey);
// The layout for a text of the measured size: the dialog grows by the height beyond one text
// row and narrows to the widest line. rows: dialog, icon, text, Continue, Cancel, end row.
void SizeMessageLayout(LayoutRow* rows, int textHeight, int widestLine);
