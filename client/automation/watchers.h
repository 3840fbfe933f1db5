// The service window's watcher threads: printers, processes and address changes.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Each Start runs its thread for the service window; each Stop tells it to end and waits
// until it has (no lock may be held).
bool StartPrinterWatch(HWND service);
void StopPrinterWatch();
bool StartProcessWatch(HWND service);
void StopProcessWatch();
bool StartAddressWatch(HWND service);
void StopAddressWatch();
// Tells the printer and process watcher threads to end without waiting for them, so that a
// round still under way (a printer enumeration can take a second) ends while the caller goes
// on; their Stops then wait.
void TellWatchersToStop();

// Frees the row data of a process-list row being deleted.
void DeleteProcessRow(const NMLISTVIEW* item);
