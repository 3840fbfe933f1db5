// The confirmation dialog (1007) of a permit question: a device in use or a storage removal.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr int IDD_CONFIRM = 1007;

// Modal over `owner`; IDOK or IDCANCEL. For a USB device the "do not ask again" box sets the
// PermitMessage option and saves the options.
INT_PTR ShowConfirmDialog(HWND owner, uint64_t handle);
HWND GetConfirmDialogWindow();
