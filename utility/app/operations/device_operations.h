// The one entry through which the utility runs every connect, disconnect, storage mount and
// storage removal: a batch of device operations handed to RunDeviceOperations.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr UINT DEVOP_CONNECT = 0x80C8;
constexpr UINT DEVOP_DISCONNECT = 0x80C9;
constexpr UINT DEVOP_NAS_MOUNT = 0x80CA;
constexpr UINT DEVOP_NAS_REMOVE = 0x80CB;

// Reasons of a connect or disconnect, as the library takes them.
enum ConnectActionCode : uint16_t {
    kActionButton = 1,
    kActionApplication = 2,
    kActionPrinter = 3,
    kActionAuto = 4,
    kActionKeepAlive = 5,
    kActionNewAutoPrintDevice = 6,
    kActionBroadcast = 7,
};

enum OperationBatchKind : uint8_t {
    kBatchPlain = 0,
    kBatchPropertyDialog = 1,
    kBatchAutoPrinter = 2,
    kBatchPropertyLike = 3,  // suspends like 1, otherwise runs like 0
};

// One operation: the device (or storage) handle, the operation code and the reason.
struct DeviceOperation {
    uint64_t device;
    uint32_t code;
    uint16_t action;
};
static_assert(sizeof(DeviceOperation) == 16);
static_assert(offsetof(DeviceOperation, code) == 8);
static_assert(offsetof(DeviceOperation, action) == 12);

// A batch: `operations` is a zero-filled LocalAlloc'ed array of `count` rows that the runner
// (or the progress dialog) frees after issuing the calls.
struct DeviceOperationList {
    int32_t count = 0;
    DeviceOperation* operations = nullptr;
    uint8_t batchKind = kBatchPlain;
};

// Allocates a zero-filled array of `count` operations into `list` (batch kind 0). FALSE when
// the allocation fails; the list is then left empty.
BOOL AllocateOperations(DeviceOperationList& list, int count);
// Frees the list's array and empties it.
void FreeOperations(DeviceOperationList& list);

// Runs the batch with `caller` as the calling window and `owner` (or 0) as the owner of the
// progress dialog. Takes ownership of the list's array in every case.
void RunDeviceOperations(HWND caller, HWND owner, DeviceOperationList& list);
