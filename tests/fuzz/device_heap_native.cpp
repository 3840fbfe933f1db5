// The device heap for the natively built fuzz target: the C heap in place of the local heap,
// with the same count of live blocks.
#include <cstdlib>

#include "device_heap.h"

namespace {
long g_blocks = 0;
}

void* DeviceHeapAlloc(size_t size) {
    void* block = std::calloc(1, size ? size : 1);
    if (block) ++g_blocks;
    return block;
}

void DeviceHeapFree(void* block) {
    if (!block) return;
    std::free(block);
    --g_blocks;
}

long DeviceHeapBlocksInUse() { return g_blocks; }
