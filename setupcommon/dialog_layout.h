// Dialogs laid out from constant row tables with their texts and fonts from the message INI,
// INI font descriptions, and right-to-left mirroring.
#pragma once

#include <windows.h>

#include <cstdint>

// One row of a layout table. Row 0 is the dialog; a row with control id 0 ends the table.
struct LayoutRow {
    uint32_t controlId;
    const char* section;  // null: the control gets neither text nor font
    const char* key;      // null: no text
    int32_t x, y, width, height;
};

constexpr int kLayoutKeepPosition = 0;  // size the dialog, keep where it is
constexpr int kLayoutMoveAndSize = 1;

// Set at start-up for a right-to-left language.
extern int RtlLayout;

// [FONT] key of iniPath as a font, or null.
HFONT CreateIniFont(HWND window, const char* key, const char* iniPath);
// [FONT] key, or key + "_VISTA" on OS code 8 and later when the INI has it.
void PickVistaIniKey(const char* key, const char* iniPath, int osCode, char* out, size_t size);
void LayoutDialog(HWND dialog, HFONT font, const LayoutRow* table, int mode, const char* iniPath);
// The index of the row of controlId (0 also when absent); the row is copied when row is given.
int FindControlLayout(const LayoutRow* table, uint32_t controlId, LayoutRow* row);
int MirrorDialogControls(HWND dialog, const LayoutRow* table);
