// The removal wizard's pages: Welcome, Uninstall (runs the worker), Finish and Restart.
#pragma once

#include <windows.h>

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UninstallPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RebootFinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
