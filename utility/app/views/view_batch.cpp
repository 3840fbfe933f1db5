#include "view_batch.h"

#include "list_state.h"
#include "list_view.h"
#include "tree_view.h"

namespace {

struct HeldView {
    HWND view = nullptr;
    bool visibleStyle = false;  // WS_VISIBLE when the hold began
};

struct BatchState {
    bool flushPending = false;
    int changes = 0;  // changes since the last flush
    HeldView held[2];
};

BatchState g_batch;

void Hold(HWND view) {
    for (HeldView& slot : g_batch.held) {
        if (slot.view == view) return;
    }
    for (HeldView& slot : g_batch.held) {
        if (slot.view) continue;
        slot.view = view;
        slot.visibleStyle = (GetWindowLongW(view, GWL_STYLE) & WS_VISIBLE) != 0;
        SendMessageW(view, WM_SETREDRAW, FALSE, 0);
        return;
    }
}

}  // namespace

bool NoteViewChange(HWND view) {
    HWND list = g_listView.list;
    if (!view || !list || !IsWindow(list)) return false;
    if (!g_batch.flushPending) {
        g_batch.flushPending = PostMessageW(list, kListResortMessage, 0, 0) != FALSE;
        if (!g_batch.flushPending) return false;
        g_batch.changes = 0;
    }
    // A single change redraws its own row; a burst redraws once, at the flush.
    if (++g_batch.changes >= 2) Hold(view);
    return true;
}

bool ViewRedrawHeld(HWND view) {
    for (const HeldView& slot : g_batch.held) {
        if (view && slot.view == view) return true;
    }
    return false;
}

void ReleaseViewRedraw() {
    for (HeldView& slot : g_batch.held) {
        HWND view = slot.view;
        if (!view) continue;
        slot.view = nullptr;
        if (!IsWindow(view)) continue;
        SendMessageW(view, WM_SETREDRAW, TRUE, 0);
        // The redraw switch may set or clear the visible style; the view keeps what it had.
        const LONG style = GetWindowLongW(view, GWL_STYLE);
        if (((style & WS_VISIBLE) != 0) != slot.visibleStyle) {
            SetWindowLongW(view, GWL_STYLE, slot.visibleStyle ? style | WS_VISIBLE : style & ~WS_VISIBLE);
        }
        if (slot.visibleStyle) InvalidateRect(view, nullptr, TRUE);
    }
}

void FlushViews(HWND list) {
    g_batch.flushPending = false;
    g_batch.changes = 0;
    FlushTreeChanges();
    FlushListChanges(list);
    ReleaseViewRedraw();
}
