// The page machinery of a wizard frame: a constant page table, the page dialogs created at
// once, and the Next/Back protocol between the frame and its pages. The frame's control ids
// are parameters, so the uninstaller's frame runs on the same code with its own.
#pragma once

#include <windows.h>

#include <cstdint>

// The page messages: sent by the frame to a page (the frame posts kWizardClose to itself and
// then to the main window).
constexpr unsigned kWizardInit = 1124;
constexpr unsigned kWizardShown = 1126;  // wParam: the index of the page shown before
constexpr unsigned kWizardNext = 1127;
constexpr unsigned kWizardBack = 1128;
constexpr unsigned kWizardClose = 1129;

struct PageTableEntry {
    uint32_t dialogId;  // 0 ends the table
    DLGPROC procedure;
    uint32_t focusControl;
    uint32_t flag;  // 1: a "left" page (Back disabled, no upper line, the left bitmap)
};

// Kept by each page as its window user data.
struct PageText {
    char title[260];
    char contents[260];
};

struct WizardFrameIds {
    int back;
    int next;
    int cancel;
    int upperLine;
};

struct Wizard {
    HWND frame;
    HINSTANCE instance;
    const PageTableEntry* table;
    WizardFrameIds ids;
    HWND* pages;        // one per table row
    uint32_t* current;  // index of the page shown
    uint32_t* next;     // index a page sets when it accepts Next or Back
};

int CountPageRows(const PageTableEntry* table);
// Creates every page dialog in table order; 0 when the page array cannot be allocated.
int CreatePages(Wizard* wizard);
void DestroyPages(Wizard* wizard);
void ShowPage(Wizard* wizard, int index);
void SetPageFocus(Wizard* wizard, int index);
// Sends Next (or Back) to the current page and moves to the page it chose; true when moved.
bool GoNextPage(Wizard* wizard);
bool GoBackPage(Wizard* wizard);
// The page's answer to a wizard message: the dialog message result.
LRESULT SendPageMessage(HWND page, UINT message, WPARAM wParam);
// Sets a page dialog's answer from inside its procedure.
INT_PTR PageAnswer(HWND page, LRESULT result);
// Starts the worker thread of a page (the install or the removal): a 16 KiB stack, the lowest
// priority. Null when it cannot be started.
HANDLE StartPageWorker(LPTHREAD_START_ROUTINE routine, void* argument);
