// The wizard's page dialogs. Each page keeps its PageText as user data, answers the frame's
// page messages and sets the next-page index.
#pragma once

#include <windows.h>

// The plain page still standing in for the Install page.
INT_PTR CALLBACK SetupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

INT_PTR CALLBACK LanguagePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LicensePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ApplicationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FolderPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MenuPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CheckPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConnectPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PrinterListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RestartPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The printer list page's work: the printer's port set to the new one and, only when that
// succeeded and makeDefault asks, the printer made the user's default. False when the printer
// cannot be opened, read or changed.
bool MovePrinterToPort(const char* printer, const char* port, bool makeDefault);
