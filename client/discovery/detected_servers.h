// The detected-server list (service window list 107): every server that answered the last
// search and passed filter set A, whether or not filter set B lets it into the server list.
// Its rows own DetectedServer records (pnxscapi.h).
#pragma once

#include <windows.h>

#include "pnxscapi.h"

// True when a row with this hardware-address text ("%02X:..." as column 0) is in the list.
bool DetectedServerKnown(HWND serviceWindow, const char* hardwareText);

// Adds a row for the server (column 0 = its hardware-address text); the row owns a copy.
void AddDetectedServer(HWND serviceWindow, const DetectedServer& server);

// The row of a hardware-address text, or -1.
int FindDetectedServer(HWND serviceWindow, const char* hardwareText);

// Deletes every row (each search step and each change of filter set B).
void ClearDetectedServers(HWND serviceWindow);

// The rows and their records (row order), for PnxDetectedServer.
int DetectedServerCount(HWND serviceWindow);
const DetectedServer* DetectedServerAt(HWND serviceWindow, int row);
