// What the property dialog and its two pages share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "tab_dialog.h"
#include "../../../client/pnxscapi.h"

struct PropertyDialogState {
    TabDialog dialog;
    HPnxDv device = nullptr;
    bool printer = false;
    int category = 0;
    HWND printerDialog = nullptr;
};
extern PropertyDialogState g_property;

INT_PTR CALLBACK DevicePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Each shows its message and focuses the field when an entry is wrong.
bool ValidateDevicePage(HWND page);
bool ValidatePropertyOptionsPage(HWND page);
// Writes both pages back through the library and the request options.
void ApplyPropertyOptions(HWND devicePage, HWND optionsPage);

// Message box of [ERROR] `key` with title [ERROR] `titleKey` and an exclamation icon.
void PropertyWarning(HWND owner, const wchar_t* key, const wchar_t* titleKey, const wchar_t* argument = nullptr);
// The device's printer count in its own (manual or automatic) mode; 0 when it cannot be read.
uint32_t DevicePrinterCount(HPnxDv device);
// A text in the OEM code page as wide text.
std::wstring FromOem(const char* text);
