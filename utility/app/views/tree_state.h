// What the tree's files share: fonts, images, texts and the subclassed procedure.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "dib.h"
#include "view_paint.h"
#include "tree_view.h"
#include "view_index.h"
#include "view_rules.h"

struct TreeViewState {
    HWND tree = nullptr;
    HFONT bold = nullptr, serverHot = nullptr, deviceHot = nullptr, listFont = nullptr;
    HIMAGELIST itemHeight = nullptr, serverImages = nullptr, buttons = nullptr;
    HIMAGELIST classImages = nullptr, stateImages = nullptr;
    Dib selFocus, sel;
    std::wstring classText[kClassRows];
    std::wstring stateText[kStateRows];
    std::wstring serverNotFound, overCurrent, networkError;
    bool focusCues = false;
    WNDPROC treeProc = nullptr;
    TreeMenuHandler menu = nullptr;
    TreeDoubleClickHandler doubleClick = nullptr;
    // Server and device items by their handles (view_index.h).
    TreeItemIndex items;
    // Servers whose children are re-sorted at the flush (view_batch.h), by server handle.
    std::unordered_set<uint64_t> sortPending;
    HDC measureDc = nullptr;  // texts are measured here, not in a window's DC fetched each time
    // Device items whose text is rewritten by the tree's own message (kTreeTextsMessage), by
    // device handle, with their children mark.
    std::unordered_map<uint64_t, int> staleTexts;
    bool textsPending = false;
};

constexpr UINT kTreeTextsMessage = WM_APP + 0x103;
// Rewrites some of the queued device item texts and queues the message again for the rest.
void TreeRewriteSomeTexts(HWND tree);

extern TreeViewState g_treeView;

LRESULT CALLBACK TreeSubclassProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnTreeCustomDraw(NMTVCUSTOMDRAW* draw);
// Text width in a font.
int TextWidth(HDC dc, HFONT font, const std::wstring& text);

constexpr uint16_t kServerOverCurrent = 0x0001;
constexpr uint16_t kServerNoDevice = 0x0002;
constexpr uint16_t kServerNetworkError = 0x0004;
constexpr uint16_t kServerGetStatus = 0x0008;
