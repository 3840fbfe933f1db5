// The setup's own folder browser (dialog 115): a tree of the computer's folders, an edit for
// the path, and the checks of the path before it is taken.
#pragma once

#include <windows.h>
#include <shlobj.h>

struct BrowseRequest {
    HWND owner;
    const char* title;
    void* reserved;
    LPCITEMIDLIST root;  // null: My Computer
    char* result;        // in: the current path; out: the confirmed path
    size_t resultSize;   // 260
    size_t maxLength;    // 128
};

// 1 when the user confirmed a path (0 for a missing request, buffer or size, or Cancel).
int BrowseForFolder(BrowseRequest* request);
// The browser's OK: 1 when the edit's text may be taken into the request's buffer, else the
// warning has been shown (MESSAGE_39 too long, MESSAGE_01 not a valid folder).
int ValidateBrowseFolder(HWND dialog, BrowseRequest* request);
