// The removal wizard's frame dialog (144): its page table, the frame layout and painting, the
// Cancel question and the end of the wizard.
#pragma once

#include "wizard_pages.h"

#include "uninstall_context.h"

extern const PageTableEntry kUninstallPages[];

INT_PTR CALLBACK FrameDlgProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam);
// Offers a message of the loop to the page dialogs; true when one took it.
bool OfferToPages(MSG* message);
// The wizard of the frame (for the pages).
Wizard* UninstallWizard();
// Next captioned and widened to its caption, Next and Back moved left by the extra width.
int FitNextButton(HWND frame, const char* caption);
// Greys Close in the frame's system menu.
void GreyFrameClose(HWND frame);
