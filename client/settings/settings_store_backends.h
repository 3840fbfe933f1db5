// The two kinds of settings store behind settings_store.h; the public functions check their
// arguments and the store's kind, then call these.
#pragma once

#include "settings_store.h"

bool RegistryDeviceKeyExists(const SettingsStore& store, const char* deviceKey);
bool RegistryWriteDeviceIdentity(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info);
bool RegistryReadDeviceProperties(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info,
                                  PropertyInfo* property);
bool RegistryWriteDeviceProperties(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info,
                                   const PropertyInfo& property);

bool IniDeviceKeyExists(const SettingsStore& store, const char* deviceKey);
bool IniWriteDeviceIdentity(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info);
bool IniReadDeviceProperties(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info,
                             PropertyInfo* property);
bool IniWriteDeviceProperties(const SettingsStore& store, const char* deviceKey, const UsbDeviceInfo& info,
                              const PropertyInfo& property);
