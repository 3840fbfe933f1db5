// The table of (printer driver, port) pairs: a report list view on the service's hidden window.
// Other threads reach it only through messages to the list view, which the window thread
// handles one at a time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct PrinterPair {
    std::string driver;
    std::string port;
};

// Creates the list view with its "Printer" and "Port" columns; null on failure.
HWND CreatePairTable(HWND parent);

// 1 with the row's index when a row holds the driver (in any case) and exactly the port; else 0.
int FindPairRow(HWND list, const char* driver, const char* port, int* index);

// Inserts the pair at the top; returns the new row's index (-1 on failure).
int AddPairRow(HWND list, LPARAM itemData, const char* driver, const char* port);

int PairRowCount(HWND list);
void DeletePairRow(HWND list, int index);
void DeleteAllPairRows(HWND list);
std::vector<PrinterPair> ReadPairRows(HWND list);
