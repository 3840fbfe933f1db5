// The small modal wait dialog shown while the components of an application install: its own
// thread runs the components, the label blinks, and the dialog stays a few seconds after.
#pragma once

#include "component_runner.h"

#include <windows.h>

// Runs drivers, services and programs of the set in its order; returns when the dialog ended.
void ShowComponentDialog(HWND owner, ComponentSet* set);
