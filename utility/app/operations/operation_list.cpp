#include "device_operations.h"

BOOL AllocateOperations(DeviceOperationList& list, int count) {
    list = DeviceOperationList{};
    if (count <= 0) return FALSE;
    void* block = LocalAlloc(LPTR, sizeof(DeviceOperation) * static_cast<size_t>(count));
    if (!block) return FALSE;
    list.operations = static_cast<DeviceOperation*>(block);
    list.count = count;
    return TRUE;
}

void FreeOperations(DeviceOperationList& list) {
    if (list.operations) LocalFree(list.operations);
    list.operations = nullptr;
    list.count = 0;
}
