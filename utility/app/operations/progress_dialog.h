// The modal progress dialog (1004) that issues a batch's library calls with itself as the
// requester window and answers the phases, and its 1 x 1 host dialog (1017).
#pragma once

#include <windows.h>

#include <string>

#include "device_operations.h"

constexpr int IDD_PROGRESS = 1004;
constexpr int IDD_PROGRESS_HOST = 1017;

// Opens the host modally over `owner` with the batch; returns when the batch has completed.
void RunProgressHost(HWND owner, DeviceOperationList& list);

// Issues one operation into the open progress dialog; the library's answer (0: not queued).
int ExecuteDeviceOperation(HWND dialog, const DeviceOperation& operation, uint8_t batchKind);

HWND GetProgressDialogWindow();

// The device's favourite name (OEM code page) as a wide text; empty when unknown.
std::wstring DeviceFavouriteName(uint64_t device);
// The storage entry's name (the first text of its record); empty when unknown.
std::wstring StorageShareName(uint64_t entry);
