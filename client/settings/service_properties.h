// The service properties' store in the settings location and the remote-desktop port setting.
// The properties themselves (ServiceProperties, pnxscapi.h) live in the library state.
#pragma once

#include <cstdint>

#include "pnxscapi.h"
#include "settings_location.h"

constexpr uint32_t kDefaultRdpPort = 3389;
constexpr const char* kPropertiesSubKey = "Mode";
constexpr const char* kPropertiesIniSection = "CONFIG";

// Chooses the store by the location (a registry location or an INI file path) and loads
// CommunicateMode, Timer and UseBroadAddress into the library state, writing the current
// values where they are missing. An empty location chooses no store and gives false.
bool LoadServiceProperties(const char* location);

// Writes the three values to the store chosen at loading; nothing without a store.
void SaveServiceProperties();

// The kind of store chosen at loading (a qz::SettingsLocation kind).
int PropertiesStoreKind();

// Takes the first three fields of a caller's record as the current properties (the size
// field is the caller's own).
void TakeServiceProperties(const ServiceProperties& properties);
ServiceProperties CurrentServiceProperties();

// The remote-desktop port setting held in memory (default 3389).
uint32_t RdpPort();
// With a registry store: reads "RDPPort" (writing the setting when it is missing) into the
// setting. False without a registry store.
bool LoadRdpPort();
// Keeps the port in memory and writes it through to a registry store. False when the write
// to an existing store failed.
bool StoreRdpPort(uint32_t port);

// No store, default RDP port (tests).
void ResetServicePropertiesStoreForTests();
