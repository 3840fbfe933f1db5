// The interface between the utility and a theme library: the two row records, the calling
// convention and the four entry points that the utility looks up by name.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>

// Every theme entry point uses this one convention; the .def exports the plain names.
#define QZ_THEME_CALL __stdcall

// One layout row of a dialog: the control's id (-1 ends a table; row 0 is the dialog itself),
// the INI section and key of its text (null in a theme's own rows) and its rectangle in dialog
// client pixels.
struct ThemeItemInfo {
    int32_t id;
    const wchar_t* section;
    const wchar_t* key;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};
#ifdef _WIN64
static_assert(sizeof(ThemeItemInfo) == 40 && offsetof(ThemeItemInfo, section) == 8 &&
              offsetof(ThemeItemInfo, x) == 24 && offsetof(ThemeItemInfo, height) == 36);
#else
static_assert(sizeof(ThemeItemInfo) == 28 && offsetof(ThemeItemInfo, section) == 4 &&
              offsetof(ThemeItemInfo, x) == 12 && offsetof(ThemeItemInfo, height) == 24);
#endif

// Flags of ThemeOdBtnInfo::flags.
constexpr uint32_t kButtonFromFile = 0x1;  // bitmapId points to a wide file path
constexpr uint32_t kButtonShaped = 0x2;    // the strip's first pixel colour is transparent

// Style bits of ThemeOdBtnInfo::style.
constexpr uint32_t kBtnNoPressed = 0x01;     // no pressed colour, no pressed offset
constexpr uint32_t kBtnCentred = 0x02;       // text centred horizontally
constexpr uint32_t kBtnNoFocus = 0x04;       // no focus colour, frame or rectangle
constexpr uint32_t kBtnFocusRect = 0x08;     // draw the focus rectangle
constexpr uint32_t kBtnPressShift = 0x10;    // text moves 1 pixel right and down when pressed
constexpr uint32_t kBtnFocusFrame = 0x20;    // frame 3 when focused
constexpr uint32_t kBtnImageOnly = 0x40;     // no text

// One owner-drawn bitmap button: its four-frame strip, text offset, colours and style.
struct ThemeOdBtnInfo {
    uint64_t bitmapId;  // resource id in the theme module, or a wide path with kButtonFromFile
    uint32_t flags;
    int32_t controlId;  // -1 ends a table
    int32_t textX;
    uint32_t colourNormal;
    uint32_t colourFocused;
    uint32_t colourPressed;
    uint32_t colourDisabled;
    uint32_t style;
};
static_assert(sizeof(ThemeOdBtnInfo) == 40 && offsetof(ThemeOdBtnInfo, flags) == 8 &&
              offsetof(ThemeOdBtnInfo, controlId) == 12 && offsetof(ThemeOdBtnInfo, textX) == 16 &&
              offsetof(ThemeOdBtnInfo, colourNormal) == 20 && offsetof(ThemeOdBtnInfo, style) == 36);

using PnxThemeGetItemInfoFn = BOOL(QZ_THEME_CALL*)(ThemeItemInfo* row, int dialogId);
using PnxThemeGetOdBtnInfoFn = BOOL(QZ_THEME_CALL*)(ThemeOdBtnInfo* row, int dialogId);
using PnxThemeGetServerImageListFn = HIMAGELIST(QZ_THEME_CALL*)();
using PnxThemeGetServerImageListIndexFn = int(QZ_THEME_CALL*)(const wchar_t* name, uint16_t state);

constexpr const char* kThemeGetItemInfo = "PnxThemeGetItemInfo";
constexpr const char* kThemeGetOdBtnInfo = "PnxThemeGetOdBtnInfo";
constexpr const char* kThemeGetServerImageList = "PnxThemeGetServerImageList";
constexpr const char* kThemeGetServerImageListIndex = "PnxThemeGetServerImageListIndex";
