// The automatic-connect candidates that one device-list reply produces, the rules that shape
// them and their delivery to the client as AutoDeviceList notifications.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "pnxscapi.h"

struct DeviceEntry;

// Reasons of an automatic connect or disconnect (the connect actions).
constexpr uint16_t kAutoReasonApplication = 2;
constexpr uint16_t kAutoReasonAutoPrinter = 3;
constexpr uint16_t kAutoReasonAutoConnect = 4;
constexpr uint16_t kAutoReasonKeepAlive = 5;
constexpr uint16_t kAutoReasonNewDevice = 6;

// PnxSetServerOption bits.
constexpr uint16_t kServerOptionOwnList = 0x1;      // the server-option list replaces the connect list
constexpr uint16_t kServerOptionDisplayRule = 0x2;  // connect around the server's display devices

// The four candidate lists. They grow with what is put in them: two rows can match one
// record, and the display rule puts in every free device of the server.
struct AutoDeviceCandidates {
    std::vector<AutoDeviceItem> connect;       // reasons 2, 3, 4
    std::vector<AutoDeviceItem> disconnect;    // reason 5
    std::vector<AutoDeviceItem> newDevice;     // reason 6
    std::vector<AutoDeviceItem> serverOption;  // reason 4
};

void AddCandidate(std::vector<AutoDeviceItem>& list, const DeviceEntry* device, uint16_t reason);

// Every free device of the server with a printer interface whose printer settings allow it
// goes to the new-device list.
void CollectAutoConnectDevicesLocked(HWND serverWindow, AutoDeviceCandidates& lists);

// Applies the server option's rules to the server-option list.
void FilterAutoConnectDevicesLocked(HWND serverWindow, uint16_t serverOption, AutoDeviceCandidates& lists);

// Sends the lists that are due as PNXN_DEVICE, each with its log line. No lock may be held.
void SendAutoDeviceLists(HWND serverWindow, uint16_t serverOption, bool newDeviceBit, AutoDeviceCandidates& lists);
