// Owner-drawn menus built from record tables, with theme icons and [MENU] texts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

constexpr uint32_t kMenuBitmapStrip = 0x1;  // the icon is a bitmap strip of 16-pixel frames
constexpr uint32_t kMenuIniText = 0x2;      // `text` is a [MENU] key
constexpr uint32_t kMenuSubmenu = 0x4;      // the item opens a submenu
constexpr uint32_t kMenuNoIcon = 0xFFFFFFFFu;
constexpr uint32_t kMenuTableEnd = 0xFFFFFFFFu;

struct MenuItemRecord {
    uint32_t kind;  // kMenuTableEnd ends a table
    uint32_t type;  // MFT_ flags
    uint32_t state; // MFS_ flags
    uint32_t commandId;
    uint32_t iconId;  // theme icon or bitmap id; kMenuNoIcon: drawn by the system
    uint32_t imageIndex;
    const wchar_t* text;
    const MenuItemRecord* submenu;
};

// The data behind an owner-drawn item: a copy of its record and its own text, of any length.
struct MenuItemData {
    MenuItemRecord record;
    std::wstring text;
};

void SetMenuResources(HMODULE module, const wchar_t* iniPath);
HMENU InsertMenuRecord(HMENU menu, UINT position, BOOL byPosition, const MenuItemRecord* record);
void BuildMenu(HMENU menu, const MenuItemRecord* records);
void FreeMenuItems(HMENU menu);
BOOL OnMeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure);
BOOL OnDrawMenuItem(HWND window, const DRAWITEMSTRUCT* draw);
LRESULT OnMenuChar(HWND window, wchar_t character, HMENU menu);
HFONT CreateMenuFont(const MenuItemData* item);
// The character after the first "&" of a menu text, upper-cased; 0 when there is none.
wchar_t MenuMnemonic(const std::wstring& text);
