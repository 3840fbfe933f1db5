#include "prechecks.h"

// Both stages accept every system for now: the checks of the running Windows, the rights and
// the running programs are not in place yet.
int CheckApplication(HWND, SetupContext*) { return 1; }
int CheckApplication2(HWND, SetupContext*) { return 1; }
