// The Install page (105): it locks the wizard, runs the install worker and, when the worker is
// done, chooses the closing page (Connect, Printer list, Finish or Restart).
#pragma once

#include "setup_context.h"

INT_PTR CALLBACK InstallPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Both outputs 1 when some checked application holds a port-monitor record, respectively a
// component set.
void GetRebootConnectNeeds(const SetupContext* context, int* anyMonitor, int* anyComponents);
// The closing pages after a good run, and the next page index; the same result every time.
void DecideFinishPages(SetupContext* context);
int InstallDone(HWND page, SetupContext* context);
