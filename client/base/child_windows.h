// Child windows of the library's own windows, looked up by control id once and remembered.
// Asking the window manager for a child by id costs a round trip to the window server under
// Wine, and the lists are looked up on every poll of every server.
#pragma once

#include <windows.h>

// The child of `parent` with control id `id`, as GetDlgItem finds it; null when there is
// none. A remembered handle is checked (still a window, still that parent's child of that id)
// before it is given out, so a destroyed or reused handle is looked up afresh.
HWND ChildWindow(HWND parent, int id);

// Forgets the children remembered for `parent` (its window is being destroyed).
void ForgetChildWindows(HWND parent);

// Redraw of every child of `parent` on or off. The library's windows are hidden unless
// someone shows them: their lists then need not repaint on every change. Turned on, the
// children are repainted whole.
void SetChildrenRedraw(HWND parent, bool on);
