// The process-wide default PropertyInfo (the settings a new device starts with) and the
// extended default table (settings chosen by vendor and product id). Both are guarded by the
// library lock.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pnxscapi.h"
#include "usb_device_info.h"

// Back to the built-in defaults (registration): no settings, waitTimer 10000, COM port 1, and
// an empty extended table.
void ResetDefaultPropertyInfo();

// Frees the default property's application block and the extended default table.
void FreeDefaultPropertyLists();

// True when an extended default entry matches the ids: the vendor id is compared with
// kMatchVendor, the product id with kMatchProduct (only its high byte with
// kMatchProductHighByte, else only its low byte with kMatchProductLowByte).
bool DefaultEntryMatches(const PropertyInfoEx& entry, uint16_t vid, uint16_t pid);

// The settings a new device starts with: a deep copy of the first extended
// default entry that matches its ids, else of the default property; the favorite name is the
// entry's, else the device name. `out` must hold nothing. False when memory fails.
bool StartingPropertyLocked(uint16_t vid, uint16_t pid, const char* deviceName, PropertyInfo* out);

// The default property and the extended default table as callers read and set them.
int GetDefaultProperty(HWND ignored, PropertyInfo* property);
int SetDefaultProperty(HWND ignored, const PropertyInfo* property);
int SetDefaultPropertyTable(HWND ignored, const PropertyInfoEx* list, uint32_t count, uint32_t value);
int GetDefaultPropertyTable(HWND ignored, void* buffer, uint32_t unused, uint32_t* value);
