// The broadcast-address list: the addresses a search goes to besides the limited broadcast.
// Two lists make it up: the store list, read from the INI file or registry key that
// PnxInitBroadcastAddr chose, and the memory list that PnxSetBroadcastAddrMemory sets. A
// search goes to the store list followed by the memory list, at most 128 addresses in all, so
// reloading the store never loses the memory list. Every address is held with the first octet
// of its dotted form in the most significant byte ("host order").
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kMaxBroadcastAddresses = 128;

constexpr const char* kDefaultDiscoveryIni = "RW-ADMIN32.INI";
constexpr const char* kBroadcastIniSection = "UserDefined";

// The kind of store PnxInitBroadcastAddr chose (a qz::SettingsLocation kind).
int BroadcastStoreKind();
// The registry key of the store list; false when the list is not kept in the registry.
bool BroadcastRegistryStore(HKEY* root, std::string* keyPath);
// True when the list is kept in an INI file.
bool BroadcastListInIni();
// The discovery INI file (the INI store's path, or the default name).
std::string DiscoveryIniFile();

// Reads the store list from the store as PnxGetBroadcastAddr does (fromStore) or empties it
// (without). Either way a remote-desktop list in force ends: Start and Resume call this.
void ReloadBroadcastList(bool fromStore);
// Re-reads the store list when it is kept in an INI file (a search with kSearchIniList).
void ReloadBroadcastListFromIni();

// Replaces the memory list with `count` addresses given in network byte order, or appends them
// (append); at most 128 are kept. A null array or count 0 empties it. False (list empty) when
// memory fails.
bool SetBroadcastMemoryList(const uint32_t* networkOrder, size_t count, bool append);

// Remote-desktop mode: searches go only to these addresses (network byte order) until the
// next Start or Resume reloads the store.
void ReplaceBroadcastList(const std::vector<uint32_t>& networkOrder);

// The destinations of the next search: the remote-desktop list when one is in force, else the
// store list followed by the memory list, cut at 128.
std::vector<uint32_t> BroadcastSearchList();

// Frees both lists (unregistration).
void FreeBroadcastListMemory();

// Forgets the store and both lists (tests).
void ResetBroadcastListForTests();

// The bodies of the broadcast exports; the service handle is only where their lines are logged.
int InitBroadcastStore(HWND service, const char* location);
int ReadBroadcastAddresses(HWND service, uint32_t* array, uint32_t capacityBytes, uint32_t* count);
int WriteBroadcastAddresses(HWND service, const uint32_t* array, uint32_t count);
int ReplaceMemoryBroadcastAddresses(HWND service, const uint32_t* array, uint32_t count);
