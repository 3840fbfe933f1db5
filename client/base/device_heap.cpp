#include "device_heap.h"

#include <windows.h>

#include <atomic>

namespace {
std::atomic<long> g_deviceHeapBlocks{0};  // atomic: records are copied on several threads
}  // namespace

void* DeviceHeapAlloc(size_t size) {
    void* block = LocalAlloc(LPTR, size ? size : 1);
    if (block) ++g_deviceHeapBlocks;
    return block;
}

void DeviceHeapFree(void* block) {
    if (!block) return;
    LocalFree(block);
    --g_deviceHeapBlocks;
}

long DeviceHeapBlocksInUse() { return g_deviceHeapBlocks.load(); }
