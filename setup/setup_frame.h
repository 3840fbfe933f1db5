// The setup wizard's frame dialog (101): its page table, the start-up checks, the Cancel
// question, the frame painting with the wizard bitmaps, and the end of the wizard.
#pragma once

#include "wizard_pages.h"

#include "setup_context.h"

extern const PageTableEntry kSetupPages[];

INT_PTR CALLBACK MainDialogProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam);
int InitMainDialog(HWND frame, SetupContext* context, const PageTableEntry* table);
int CheckBeforeStarting(HWND frame, SetupContext* context);
void ShowFirstPage(HWND frame, SetupContext* context);
// Offers a message of the loop to the page dialogs; true when one took it.
bool OfferToPages(MSG* message);
void FreeSetupFonts();
// Sets Next's caption; when the caption (with room for a small icon) is wider than Next's
// layout width, Next is widened and Next and Back move left by the difference. 1 when widened.
int FitNextButton(HWND frame, HFONT font, const char* caption);
// The wizard of the frame (for the pages).
Wizard* SetupWizard();
