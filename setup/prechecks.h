// The checks before the wizard starts: the first stage before the application records are
// read, the second after.
#pragma once

#include "setup_context.h"

int CheckApplication(HWND frame, SetupContext* context);
int CheckApplication2(HWND frame, SetupContext* context);
