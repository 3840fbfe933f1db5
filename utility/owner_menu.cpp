#include "owner_menu.h"

#include <algorithm>
#include <cwctype>

#include "dialog_layout.h"
#include "ini_text.h"
#include "win_handles.h"

namespace {

HMODULE g_menuModule = nullptr;
std::wstring g_menuIni;

constexpr int kIconBox = 19;

MenuItemData* ItemDataOf(HMENU menu, UINT position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA | MIIM_FTYPE;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info) || !(info.fType & MFT_OWNERDRAW)) {
        return nullptr;
    }
    return reinterpret_cast<MenuItemData*>(info.dwItemData);
}

// One 16-pixel frame of a bitmap strip: greyed items embossed, others with the 3D face colour
// of the strip turned into the menu's colour.
void DrawMenuBitmap(HDC dc, const MenuItemData* item, int x, int y, bool greyed) {
    auto strip = static_cast<HBITMAP>(LoadImageW(g_menuModule, MAKEINTRESOURCEW(item->record.iconId),
                                                 IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (!strip) return;
    qz::GdiObject stripOwner(strip);
    HDC source = CreateCompatibleDC(dc);
    HDC frame = CreateCompatibleDC(dc);
    qz::GdiObject frameBitmap(CreateCompatibleBitmap(dc, 16, 16));
    HGDIOBJ oldSource = SelectObject(source, strip);
    HGDIOBJ oldFrame = SelectObject(frame, frameBitmap.get());
    BitBlt(frame, 0, 0, 16, 16, source, static_cast<int>(item->record.imageIndex) * 16, 0, SRCCOPY);
    if (!greyed) {
        const COLORREF face = GetSysColor(COLOR_3DFACE), menu = GetSysColor(COLOR_MENU);
        for (int py = 0; py < 16; ++py) {
            for (int px = 0; px < 16; ++px) {
                if (GetPixel(frame, px, py) == face) SetPixel(frame, px, py, menu);
            }
        }
    }
    SelectObject(frame, oldFrame);
    if (greyed) {
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(frameBitmap.get()), 0, x, y, 16, 16,
                   DST_BITMAP | DSS_DISABLED);
    } else {
        HGDIOBJ again = SelectObject(frame, frameBitmap.get());
        BitBlt(dc, x, y, 16, 16, frame, 0, 0, SRCCOPY);
        SelectObject(frame, again);
    }
    SelectObject(source, oldSource);
    DeleteDC(frame);
    DeleteDC(source);
}

void DrawMenuIcon(HDC dc, const MenuItemData* item, int x, int y, bool greyed) {
    if (item->record.kind & kMenuBitmapStrip) {
        DrawMenuBitmap(dc, item, x, y, greyed);
        return;
    }
    auto icon = static_cast<HICON>(LoadImageW(g_menuModule, MAKEINTRESOURCEW(item->record.iconId),
                                              IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    if (!icon) return;
    if (greyed) {
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, x, y, 16, 16,
                   DST_ICON | DSS_DISABLED);
    } else {
        DrawIconEx(dc, x, y, icon, 16, 16, 0, nullptr, DI_NORMAL);
    }
    DestroyIcon(icon);
}

void DrawMenuText(HDC dc, const std::wstring& text, RECT rect) {
    size_t tab = text.find(L'\t');
    std::wstring left = text.substr(0, tab);
    DrawTextW(dc, left.c_str(), -1, &rect, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    if (tab != std::wstring::npos) {
        std::wstring right = text.substr(tab + 1);
        RECT r = rect;
        r.right -= 8;
        DrawTextW(dc, right.c_str(), -1, &r, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    }
}

void PaintItem(HDC dc, const DRAWITEMSTRUCT* draw, const MenuItemData* item) {
    RECT rc = draw->rcItem;
    const bool selected = (draw->itemState & ODS_SELECTED) != 0;
    const bool greyed = (draw->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const bool checked = (draw->itemState & ODS_CHECKED) != 0;
    if (item->record.type & MFT_SEPARATOR) {
        FillRect(dc, &rc, GetSysColorBrush(COLOR_MENU));
        RECT line = rc;
        line.top = (rc.top + rc.bottom) / 2;
        DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    RECT box{rc.left, rc.top + ((rc.bottom - rc.top) - kIconBox) / 2, rc.left + kIconBox, 0};
    box.bottom = box.top + kIconBox;
    RECT textArea{box.right + 1, rc.top, rc.right, rc.bottom};
    FillRect(dc, &rc, GetSysColorBrush(COLOR_MENU));
    FillRect(dc, &textArea, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    if (item->record.iconId != kMenuNoIcon) {
        if (!greyed && checked) {
            FillRect(dc, &box, GetSysColorBrush(selected ? COLOR_MENU : COLOR_3DLIGHT));
            DrawEdge(dc, &box, BDR_SUNKENOUTER, BF_RECT);
        } else if (!greyed && selected) {
            DrawEdge(dc, &box, BDR_RAISEDINNER, BF_RECT);
        }
        DrawMenuIcon(dc, item, box.left + 1, box.top + 1, greyed);
    } else if (checked) {
        FillRect(dc, &box, GetSysColorBrush(selected ? COLOR_MENU : COLOR_3DLIGHT));
        DrawEdge(dc, &box, BDR_SUNKENOUTER, BF_RECT);
        RECT mark = box;
        DrawFrameControl(dc, &mark, DFC_MENU, DFCS_MENUCHECK);
    }
    RECT textRect{box.right + 3, rc.top, rc.right, rc.bottom};
    SetBkMode(dc, TRANSPARENT);
    if (greyed) {
        if (!selected) {
            RECT shadow = textRect;
            OffsetRect(&shadow, 1, 1);
            SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
            DrawMenuText(dc, item->text, shadow);
        }
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    }
    DrawMenuText(dc, item->text, textRect);
}

}  // namespace

void SetMenuResources(HMODULE module, const wchar_t* iniPath) {
    g_menuModule = module;
    g_menuIni = iniPath ? iniPath : L"";
}

HMENU InsertMenuRecord(HMENU menu, UINT position, BOOL byPosition, const MenuItemRecord* record) {
    if (!menu || !record || record->kind == kMenuTableEnd) return nullptr;
    std::wstring text;
    if (record->kind & kMenuIniText) {
        text = IniText(g_menuIni.c_str(), L"MENU", record->text ? record->text : L"", 255);
    } else if (record->text) {
        text = record->text;
    }
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    info.fType = record->type;
    info.fState = record->state;
    if (record->commandId) {
        info.fMask |= MIIM_ID;
        info.wID = record->commandId;
    }
    info.dwTypeData = const_cast<wchar_t*>(text.c_str());
    MenuItemData* data = nullptr;
    if (record->iconId != kMenuNoIcon) {
        data = new MenuItemData{*record, text};
        info.fType |= MFT_OWNERDRAW;
        info.fMask |= MIIM_DATA;
        info.dwItemData = reinterpret_cast<ULONG_PTR>(data);
        info.fMask &= ~MIIM_STRING;
    }
    HMENU submenu = nullptr;
    if (record->kind & kMenuSubmenu) {
        submenu = CreatePopupMenu();
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = submenu;
    }
    if (!InsertMenuItemW(menu, position, byPosition, &info)) {
        delete data;
        if (submenu) DestroyMenu(submenu);
        return nullptr;
    }
    return submenu;
}

void BuildMenu(HMENU menu, const MenuItemRecord* records) {
    for (; records && records->kind != kMenuTableEnd; ++records) {
        HMENU submenu = InsertMenuRecord(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, records);
        if (submenu && records->submenu) BuildMenu(submenu, records->submenu);
    }
}

void FreeMenuItems(HMENU menu) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) FreeMenuItems(sub);
        MenuItemData* data = ItemDataOf(menu, static_cast<UINT>(i));
        if (!data) continue;
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_DATA;
        info.dwItemData = 0;
        SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        delete data;
    }
}

HFONT CreateMenuFont(const MenuItemData* item) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return nullptr;
    }
    if (item && (item->record.state & MFS_DEFAULT)) metrics.lfMenuFont.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

BOOL OnMeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure) {
    if (!measure || measure->CtlType != ODT_MENU || !measure->itemData) return FALSE;
    const auto* item = reinterpret_cast<const MenuItemData*>(measure->itemData);
    if (item->record.type & MFT_SEPARATOR) {
        measure->itemWidth = 0;
        measure->itemHeight = static_cast<UINT>(GetSystemMetrics(SM_CYMENU) / 2);
        return TRUE;
    }
    qz::GdiObject font(CreateMenuFont(item));
    qz::WindowDC dc(window);
    HGDIOBJ old = font ? SelectObject(dc.get(), font.get()) : nullptr;
    DWORD extent = GetTabbedTextExtentW(dc.get(), item->text.c_str(),
                                        static_cast<int>(item->text.size()), 0, nullptr);
    if (old) SelectObject(dc.get(), old);
    int width = LOWORD(extent) + 41;
    int check = GetSystemMetrics(SM_CXMENUCHECK);
    if (check < 12) width += 1 - check;
    measure->itemWidth = static_cast<UINT>(width);
    measure->itemHeight = static_cast<UINT>(std::max<int>(HIWORD(extent), GetSystemMetrics(SM_CYMENU)));
    return TRUE;
}

BOOL OnDrawMenuItem(HWND, const DRAWITEMSTRUCT* draw) {
    if (!draw || draw->CtlType != ODT_MENU || !draw->itemData) return FALSE;
    const auto* item = reinterpret_cast<const MenuItemData*>(draw->itemData);
    const RECT& rc = draw->rcItem;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC mem = CreateCompatibleDC(draw->hDC);
    qz::GdiObject bitmap(CreateCompatibleBitmap(draw->hDC, std::max(w, 1), std::max(h, 1)));
    qz::GdiObject font(CreateMenuFont(item));
    if (!mem || !bitmap) {
        if (mem) DeleteDC(mem);
        return FALSE;
    }
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap.get());
    HGDIOBJ oldFont = font ? SelectObject(mem, font.get()) : nullptr;
    if (IsRightToLeft()) SetLayout(mem, LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED);
    DRAWITEMSTRUCT local = *draw;
    local.rcItem = {0, 0, w, h};
    PaintItem(mem, &local, item);
    BitBlt(draw->hDC, rc.left, rc.top, w, h, mem, 0, 0, SRCCOPY);
    if (oldFont) SelectObject(mem, oldFont);
    SelectObject(mem, oldBitmap);
    DeleteDC(mem);
    return TRUE;
}

wchar_t MenuMnemonic(const std::wstring& text) {
    // Wide texts have no lead bytes: the first "&" that is not doubled marks the letter.
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&') continue;
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(towupper(text[i + 1]));
    }
    return 0;
}

LRESULT OnMenuChar(HWND, wchar_t character, HMENU menu) {
    const wchar_t wanted = static_cast<wchar_t>(towupper(character));
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const MenuItemData* item = ItemDataOf(menu, static_cast<UINT>(i));
        if (!item || (item->record.type & MFT_SEPARATOR)) continue;
        if (MenuMnemonic(item->text) == wanted) return MAKELRESULT(i, MNC_EXECUTE);
    }
    return 0;
}
