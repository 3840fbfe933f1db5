// The hidden service window: its class, its children (the library's lists) and its window
// procedure. Its handle is the service handle of the exports.
#pragma once

#include <windows.h>

bool RegisterServiceWindowClass(HINSTANCE instance);
void UnregisterServiceWindowClass(HINSTANCE instance);

// Creates the service window owned by the client window; null on failure.
HWND CreateServiceWindow(HWND owner);

LRESULT CALLBACK ServiceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One child of the service window as it is built on creation.
struct ServiceChildColumn {
    const char* title;
    int width;
};
struct ServiceChildSpec {
    int id;
    const char* windowClass;     // WC_LISTVIEWA or "LISTBOX"
    DWORD extraStyle;            // on top of WS_CHILD | WS_VISIBLE
    int x, y;
    int width;                   // > 0: fixed; <= 0: client width plus this value
    int height;
    const ServiceChildColumn* columns;
    int columnCount;
};

// The children in creation order.
const ServiceChildSpec* ServiceChildSpecs(int* count);

// Creates the children in order; stops at the first that cannot be made. True when all exist.
bool CreateServiceChildren(HWND window, HFONT font);
