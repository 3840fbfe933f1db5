// The library's notices come in bursts: a server's device list brings a row per device, a
// search start turns every row to "Receiving status" at once. A list or tree view that
// redraws updates its scroll bars and invalidates on every inserted row and every text that is
// set, which costs milliseconds each under some window systems. So from the second change of a
// burst on the views stop redrawing, and the rows' cells, the list's order and the tree's order
// are brought up to date once, after the burst, by the list's flush message.
#pragma once

#include <windows.h>

// A change of `view` (the device list or the tree) is about to be made: the flush is asked
// for, and from the second change before it the view's redraw is held off until then.
// Returns false when no flush can come (no list, no message queue): the caller then finishes
// its work at once.
bool NoteViewChange(HWND view);
// True while the redraw of `view` is held off: its rows need not be invalidated one by one.
bool ViewRedrawHeld(HWND view);
// Every held view redraws again, whole. Also called before a view is shown or hidden.
void ReleaseViewRedraw();
// The flush (the list's private message): the list's and the tree's pending work, then
// redraw back on.
void FlushViews(HWND list);
