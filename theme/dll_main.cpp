// Quelbotheme.dll: the utility's icons and bitmaps as resources, and four queries.
#include <windows.h>
#include <commctrl.h>

#include "theme_api.h"
#include "theme_tables.h"

namespace {
HINSTANCE g_module = nullptr;
}

extern "C" {

BOOL QZ_THEME_CALL PnxThemeGetItemInfo(ThemeItemInfo* row, int dialogId) {
    return ApplyThemeItem(row, dialogId) ? TRUE : FALSE;
}

BOOL QZ_THEME_CALL PnxThemeGetOdBtnInfo(ThemeOdBtnInfo* row, int dialogId) {
    return ApplyThemeButton(row, dialogId) ? TRUE : FALSE;
}

HIMAGELIST QZ_THEME_CALL PnxThemeGetServerImageList() {
    HIMAGELIST list = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 0, 0);
    if (!list) return nullptr;
    for (const int* id = ServerIconIds(); *id != -1; ++id) {
        auto icon = static_cast<HICON>(
            LoadImageW(g_module, MAKEINTRESOURCEW(*id), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
        if (!icon) continue;
        ImageList_AddIcon(list, icon);
        DestroyIcon(icon);
    }
    return list;
}

int QZ_THEME_CALL PnxThemeGetServerImageListIndex(const wchar_t* name, uint16_t state) {
    return ServerImageIndex(name, state);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

}  // extern "C"
