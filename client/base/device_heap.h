// The heap that device records' strings and arrays come from. Callers release what the
// library copied to them only through the library, so every block is allocated and freed
// here; the count of live blocks lets tests see that nothing leaks.
#pragma once

#include <cstddef>

// A zero-filled block of `size` bytes (at least 1), or null.
void* DeviceHeapAlloc(size_t size);

// Releases a block from DeviceHeapAlloc; null is ignored.
void DeviceHeapFree(void* block);

// Blocks allocated and not yet released, process-wide.
long DeviceHeapBlocksInUse();
