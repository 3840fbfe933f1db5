// How a fresh record from a device-list reply is matched with a known device, whether the
// device changed, and how the known record takes the fresh values.
#pragma once

#include <cstdint>

#include "usb_device_info.h"

// Results of CompareLocationLists.
constexpr int kLocationsSame = 0;       // same number of items, at least one in common
constexpr int kLocationsPartial = 1;    // different numbers of items, at least one in common
constexpr int kLocationsDifferent = 2;  // no item in common
constexpr int kLocationsInvalid = -1;   // an empty list or count

// Compares two comma-separated location lists of countA and countB items. Two items match
// when they are equal from their second character on, ignoring case.
int CompareLocationLists(uint32_t countA, const char* listA, uint32_t countB, const char* listB);

// True when the fresh record is the known device. A server of protocol level 1 has a single
// device, which always matches. *partial (optional) is set to 1 when the location lists only
// partly overlap (the record is then not the device).
bool IsSameDevice(uint16_t level, const UsbDeviceInfo& known, const UsbDeviceInfo& fresh, int* partial);

// True when the fresh record differs from the known one in anything the client sees.
bool IsDeviceChanged(uint16_t level, const UsbDeviceInfo& known, const UsbDeviceInfo& fresh);

// Copies the fresh values into the known record: status and user address at level 1; else
// ids, status, statusEx, user address, name, ports, locations, both interface arrays with
// their count, serial and function. All or nothing: false (known unchanged) when memory fails.
bool UpdateDeviceRecord(uint16_t level, UsbDeviceInfo* known, const UsbDeviceInfo& fresh);

// The display adapters whose image stops when their connection is cut.
bool IsDisplayLinkDevice(uint16_t vid, uint16_t pid);
