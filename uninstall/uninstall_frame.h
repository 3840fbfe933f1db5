// The removal wizard's frame dialog (144) on the shared wizard frame: its page table and ids,
// the start of its pages and the Cancel question.
#pragma once

#include "wizard_frame.h"

#include "uninstall_context.h"

extern const PageTableEntry kUninstallPages[];
extern const WizardFrameDesign kUninstallFrame;

// Greys Close in the frame's system menu.
void GreyFrameClose(HWND frame);
