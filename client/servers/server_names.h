// Names and addresses around a server: this PC's address toward it (PnxGetPcAddress) and the
// PC name of another PC that uses one of its devices, looked up on a worker thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "pnxscapi.h"

struct ServerRecord;

// This PC's address toward a server, its adapter's mask and the segment (address AND mask);
// all in network byte order, 0 when unknown.
struct PcAddress {
    uint32_t address = 0;
    uint32_t mask = 0;
    uint32_t segment = 0;
};

// The addresses of this PC's own host name: with one, that one; with several, the local
// address of a UDP socket connected to the server's port 7. 0 when none can be found.
uint32_t LocalAddressToward(uint32_t serverIpv4);
// Drops the remembered addresses of the host name (an address changed).
void ForgetHostAddresses();

// The address toward the server with the mask of the local adapter that has it.
PcAddress ComputePcAddress(uint32_t serverIpv4);
// Stores the address in the server's record; true when it differs from what was stored.
bool StorePcAddressLocked(ServerRecord* record, const PcAddress& pc);

// Longest PC name kept for a device (the field holds it with its terminator).
constexpr size_t kPcNameMax = 64;

// The PC name a reverse look-up gives: the first dot-separated label of the host name, cut to
// kPcNameMax characters; the address text when there is no name or it is "localhost".
std::string PcNameFromHostName(const char* hostName, uint32_t address);

// PNXM_OTHER_PC_NAME: wParam is a device of this server window used by another PC. Its user
// address is copied here and the name is looked up on a worker thread (16 KB stack, lowest
// priority), which posts PNXM_PC_NAME_FOUND back. False when no look-up was started.
bool StartPcNameLookup(HWND serverWindow, WPARAM device);

// Hands a look-up's result to its window: kept for it and announced with PNXM_PC_NAME_FOUND.
// False (result dropped) when the window is gone.
bool PostPcNameResult(HWND serverWindow, uint32_t address, const std::string& name);

// PNXM_PC_NAME_FOUND: applies every waiting result of this window to the devices that are
// still in its list and still used by that address, and notifies them.
void ApplyPcNames(HWND serverWindow);

// Drops the results still waiting for a window that is being destroyed.
void DropPcNames(HWND serverWindow);

// This PC's address, mask and segment toward the server, kept in its record (PnxGetPcAddress).
int ServerPcAddress(HWND logWindow, HPnxSv server, uint32_t* address, uint32_t* mask, uint32_t* segment);
