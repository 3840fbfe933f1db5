// The service entry of the printer helper: dispatcher, main function, control handler and
// status reports.
#pragma once

#include <windows.h>

// Enters the service control dispatcher; returns when the service has stopped, or at once
// when the program was not started by the service control manager.
void RunServiceDispatcher();

void WINAPI HelperServiceMain(DWORD argc, LPSTR* argv);
void WINAPI HelperCtrlHandler(DWORD control);

// Reports the state to the service control manager. 1 on success; on failure the window thread
// is stopped (so that the main function can finish) and 0 is returned.
int ReportServiceStatus(DWORD state, DWORD exitCode, DWORD serviceCode, DWORD waitHint);

// Ends the service: stops what still runs and reports it stopped with the code.
void FinishService(DWORD code);
