// The install worker: one thread per run that takes the checked applications through the
// install steps in their fixed order and reports to the Install page by posted messages.
#pragma once

#include "setup_context.h"

// The code posted with the failure message: the step that failed.
enum InstallStepError : uint32_t {
    kStepMonitorCheck = 1,
    kStepMonitorGet = 2,
    kStepComponent = 3,
    kStepCopy = 4,
    kStepVersionedCopy = 5,
    kStepMonitorSet = 6,
    kStepLogFiles = 7,
};

struct InstallStart {
    HWND page;
    SetupContext* context;
};

// Starts InstallThread at the lowest priority; null (with the error in GetLastError) when the
// thread cannot be created.
HANDLE StartInstallThread(HWND page, SetupContext* context, InstallStart* start);
// The whole run on the calling thread: 0 when every step passed, else the failing step's code.
uint32_t RunInstallSteps(HWND page, SetupContext* context);
// The worker's message box: the message INI's [ERROR] text over the main window (none when
// silent), logged "[MessageBox] : " and the key.
void InstallMessage(const SetupContext* context, const char* key, const char* argument);
// 1 when a checked application's component INI lists the bus driver and a device is connected.
int CheckComponentDriver(HWND page, SetupContext* context);
