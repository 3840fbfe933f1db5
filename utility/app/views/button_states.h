// Which of CONNECT, DISCONNECT, PROPERTY and REQUEST the selection enables, with the [TIP]
// keys of CONNECT and DISCONNECT.
#pragma once

#include <windows.h>

struct ButtonStates {
    const wchar_t* connectTip;
    const wchar_t* disconnectTip;
    bool connect = false;
    bool disconnect = false;
    bool property = false;
    bool request = false;
};

// What the selected rows (or a server's entries) are.
struct ButtonFacts {
    int devices = 0;
    int storage = 0;
    bool connect = false;     // a free device or a mounted storage entry
    bool disconnect = false;  // a device connected here
    int usedElsewhere = 0;    // devices used by another PC that may be requested
};

// The list rule (also a tree device item, as one selected row) and the tree's server rule.
ButtonStates ListButtonStates(const ButtonFacts& facts, int selected);
ButtonStates ServerButtonStates(const ButtonFacts& facts);
ButtonStates ComputeButtonStates(HWND list, HWND tree, bool treeShown);
