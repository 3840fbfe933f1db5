// The setup wizard's frame dialog (101) on the shared wizard frame: its page table and ids, the
// start-up checks, the Cancel question and what the frame frees with the application records.
#pragma once

#include "wizard_frame.h"

#include "setup_context.h"

extern const PageTableEntry kSetupPages[];
extern const WizardFrameDesign kSetupFrame;

int InitMainDialog(HWND frame, SetupContext* context);
int CheckBeforeStarting(HWND frame, SetupContext* context);
void ShowFirstPage(HWND frame, SetupContext* context);
