// The per-device settings store: what the library remembers of each device it has seen (its
// identity and the user's settings for it) between runs, in the registry below the client's
// settings location or in an INI file.
//
// Registry: one key per device below "<path>\Device", named by the device key. INI file: one
// section per device, named by the device key. The server's identity (server_identity.h) and
// the device's id lists are kept beside it under the same name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "settings_location.h"
#include "usb_device_info.h"

// The sub-key of the store path that holds the device keys.
constexpr const char* kStoreDeviceKey = "Device";

// The store is the client's settings location.
using SettingsStore = qz::SettingsLocation;

// The store that a settings location names: a registry location ("HCU\Software\...") or else
// the path of an INI file; an empty or null location is no store.
SettingsStore SettingsStoreFromLocation(const char* location);

// The store of the client that registered (its settings location).
SettingsStore CurrentSettingsStore();

// Opens a device's key in a registry store ("<path>\Device\<device key>"; with create made
// when missing). False for any other store, an empty device key or a key that cannot be had.
bool OpenDeviceStoreKey(const SettingsStore& store, const char* deviceKey, bool create, qz::RegKey* key,
                        REGSAM access = 0);

// The registry path of a device's key: "<path>\Device\<device key>".
std::string DeviceKeyPath(const SettingsStore& store, const char* deviceKey);

// True when the store holds the device: its registry key opens for reading, or its INI
// section exists.
bool DeviceKeyExists(const SettingsStore* store, const char* deviceKey);

// Writes what the device is: name, location list, ids, interface classes and subclasses,
// serial number. False for a missing argument, no store or a key that cannot be created.
bool WriteDeviceIdentity(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info);

// Reads the stored settings over `property`; a value that is missing or malformed leaves its
// field as it was. `info` tells whether the device is a COM-port device (whose COM settings
// are kept too). Strings and the application block replace the record's own (released with
// the record). False for a missing argument, no store, or a device the store does not hold.
bool ReadDeviceProperties(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info,
                          PropertyInfo* property);

// Writes the settings of the device. False for a missing argument, no store or a key that
// cannot be created; a single value that fails to write is not reported.
bool WriteDeviceProperties(const SettingsStore* store, const char* deviceKey, const UsbDeviceInfo* info,
                           const PropertyInfo* property);
