// The main dialog's device commands: the buttons, Enter, double-clicks and the menus' items,
// each turned into a batch by the operation builders and run by RunDeviceOperations; the
// help commands; and the call sites of the dialogs and storage actions built beside these.
#pragma once

#include <windows.h>

#include <cstdint>

#include "device_operations.h"

// Builders over the views' current selection; TRUE when `list` holds at least one operation.
BOOL BuildListSelectionOps(HWND dialog, DeviceOperationList& list);
BOOL ConnectSelectedListItems(HWND dialog, DeviceOperationList& list);
BOOL DisconnectSelectedListItems(HWND dialog, DeviceOperationList& list);
BOOL ConnectTreeDevice(HWND dialog, DeviceOperationList& list);
BOOL DisconnectTreeDevice(HWND dialog, DeviceOperationList& list);
BOOL ConnectServerDevices(HWND dialog, uint64_t server, DeviceOperationList& list);
BOOL DisconnectServerDevices(HWND dialog, uint64_t server, DeviceOperationList& list);
void OnDeviceDoubleClick(HWND dialog, uint64_t handle);

// A WM_COMMAND of the main dialog that the commands own; FALSE for any other id.
BOOL OnDeviceCommand(HWND dialog, UINT id);
// The HELP button's commands (0x8259 help file, 0x825A company page, 0x825B about, 0x825C
// support page).
BOOL ExecuteHelpCommand(HWND window, UINT id);

// Call sites of the property dialog, the use request and the storage actions.
void OpenDeviceProperties(HWND owner, uint64_t device);
void SendUseRequest(HWND owner, uint64_t device);
void OpenStorageShare(HWND owner, uint64_t entry);
void MountStorage(HWND owner, uint64_t entry);
void MountListStorage(HWND owner);
void MountServerStorage(HWND owner, uint64_t server);
