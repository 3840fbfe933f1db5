// Timing of another program's GUI thread for the views benchmark: how long its list and tree
// take to fill and how long it is busy, seen through messages sent to its controls.
#pragma once

#include <windows.h>

struct WatchRequest {
    HWND dialog = nullptr;
    HWND list = nullptr;
    HWND tree = nullptr;
    int rows = -1;   // the list row count to wait for (-1: any)
    int items = -1;  // the tree item count to wait for (-1: any)
    DWORD milliseconds = 0;
    UINT message = 0;  // posted to the dialog first when not 0
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Polls the list and the tree back to back (each poll a message the GUI thread answers when it
// is free), until both counts are reached and the thread stayed free for a second, or the time
// is up. Prints when the counts were reached, every stretch the thread was busy, and its sum.
int WatchGuiThread(const WatchRequest& request);
// Invalidates the whole control and prints the longest time its thread then kept a poll
// waiting (the repaint, which runs at its next empty queue).
int TimeRepaint(HWND control);
// Posts the exit message to the program's hidden main window and prints when, counted from the
// post, the main dialog was hidden, the library's service window was gone, the dialog was gone,
// the main window was gone and the process had ended (each -1 when not seen within the time).
int TimeExit(HWND mainWindow, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, DWORD milliseconds);
