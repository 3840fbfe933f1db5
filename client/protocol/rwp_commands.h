// The request/response command table and the process-wide exchange settings. Requests carry
// the command text, never its index; the index only picks the row.
#pragma once

#include <cstddef>
#include <cstdint>

// Rows of the command table that the library sends.
constexpr int kRwpScannerConnect = 16;       // "EXEC SCANNER CONNECT:"
constexpr int kRwpScannerDisconnect = 17;    // "EXEC SCANNER DISCONNECT:"
constexpr int kRwpUsbDeviceList = 24;        // "GET USB_DEVICE_LIST"
constexpr int kRwpStorageList = 58;          // "GET STORAGE_LIST"
constexpr int kRwpSafeRemove = 60;           // "EXEC SAFE REMOVE:"
constexpr int kRwpUsbDeviceListEx = 83;      // "GET USB_DEVICE_LIST_EX"
constexpr int kRwpUsbDeviceListExII = 87;    // "GET USB_DEVICE_LIST_EX_II"

// Text of a row; null for an index outside the table.
const char* RwpCommandText(int index);
size_t RwpCommandCount();

constexpr int kRwpTries = 4;                    // sends of one request before giving up
constexpr uint32_t kRwpDefaultTimeout = 1000;   // ms per try
constexpr size_t kRwpReassemblyBeforeInit = 8192;
constexpr size_t kRwpReassemblyAfterInit = 65536;

// Time-out of one try of the command exchange and the blocking request, in ms; 0 means 1000.
void SetRwpTimeout(uint32_t milliseconds);
uint32_t RwpTimeout();

// Reassembly size of monitor channels created from now on (8192 until the one-time
// initialisation raises it).
void SetRwpReassemblySize(size_t bytes);
size_t RwpReassemblySize();
