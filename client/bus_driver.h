// The virtual USB bus driver's device handle.
#pragma once

// Opens "\\.\<name>" for reading (sharing read and write, existing only) and keeps the handle
// in the library state; a failed open keeps an invalid handle. True when open.
bool OpenBusDriver(const char* name);

// Closes the handle; harmless when none is open.
void CloseBusDriver();
