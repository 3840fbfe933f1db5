// Connect marks: the settings store's note that a device lost its connection without this PC
// asking, so that it is connected again when it shows up free. The marks last from one
// registration of a client to its unregistration.
//
// Registry: a string value "0" per device key in the key "<path>\Device\Connect". INI file:
// a key per device key with the value "0" in the section [Connect].
#pragma once

#include "settings_store.h"

// True when the store holds a mark for the device.
bool QueryConnectMark(const SettingsStore* store, const char* deviceKey);

// Sets or deletes the mark of one device; true when the store changed as asked.
bool SetConnectMark(const SettingsStore* store, const char* deviceKey);
bool DeleteConnectMark(const SettingsStore* store, const char* deviceKey);

// Deletes every mark of the store.
bool DeleteConnectMarks(const SettingsStore* store);

// Drops every connect mark left in the registered client's store (registration and
// unregistration).
void DropConnectMarks();
