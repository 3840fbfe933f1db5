#include "broadcast_list.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "lib_lock.h"
#include "log.h"
#include "pnxscapi.h"
#include "settings_location.h"
#include "win_handles.h"

namespace {
constexpr const char* kCountName = "UDPCount";

struct BroadcastState {
    qz::SettingsLocation store;
    std::string iniFile = kDefaultDiscoveryIni;  // the last INI store chosen
    std::vector<uint32_t> storeList;
    std::vector<uint32_t> memoryList;
    std::vector<uint32_t> remoteDesktopList;
    bool remoteDesktop = false;          // remoteDesktopList is in force
};
BroadcastState g_broadcast;  // library lock

uint32_t SwapOrder(uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

std::string EntryName(size_t index) {
    char name[16];
    std::snprintf(name, sizeof name, "UDP%02u", static_cast<unsigned>(index));
    return name;
}

// The INI stores addresses as eight hexadecimal digits; anything else is no address.
bool ReadHexAddress(const char* text, uint32_t* value) {
    size_t length = std::strlen(text);
    if (length == 0 || length > 8) return false;
    uint32_t result = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        result = result * 16 + static_cast<uint32_t>(digit);
    }
    *value = result;
    return true;
}

// A decimal count; text that is not a plain number counts as 0.
size_t ReadCount(const char* text) {
    size_t count = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        count = count * 10 + static_cast<size_t>(*p - '0');
        if (count > kMaxBroadcastAddresses) return kMaxBroadcastAddresses;
    }
    return count;
}

qz::SettingsLocation CurrentStore() {
    LibraryLock lock;
    return g_broadcast.store;
}

// Reads up to `limit` entries of the INI list. An empty or unreadable entry is skipped; its
// place in `found` stays unset. Gives the number of entries looked at.
size_t ReadIniList(const qz::SettingsLocation& store, size_t limit, std::vector<std::pair<size_t, uint32_t>>& found) {
    std::string text;
    size_t count = store.ReadText(kBroadcastIniSection, kCountName, &text) ? ReadCount(text.c_str()) : 0;
    if (count > limit) count = limit;
    for (size_t i = 0; i < count; ++i) {
        uint32_t value;
        if (store.ReadText(kBroadcastIniSection, EntryName(i).c_str(), &text) && ReadHexAddress(text.c_str(), &value))
            found.emplace_back(i, value);
    }
    return count;
}

// The registry list: false when the count cannot be read; `count` gives the stored count
// (cut at 128), `found` the values that could be read.
bool ReadRegistryCount(const qz::SettingsLocation& store, size_t* count) {
    uint32_t value = 0;
    *count = 0;
    if (!store.ReadNumber(nullptr, kCountName, &value)) return false;
    *count = value > kMaxBroadcastAddresses ? kMaxBroadcastAddresses : value;
    return true;
}

void ReadRegistryList(const qz::SettingsLocation& store, size_t count, std::vector<std::pair<size_t, uint32_t>>& found) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t value = 0;
        if (store.ReadNumber(nullptr, EntryName(i).c_str(), &value)) found.emplace_back(i, value);
    }
}

void SetStoreList(const std::vector<std::pair<size_t, uint32_t>>& found) {
    std::vector<uint32_t> list;
    for (const auto& entry : found) list.push_back(entry.second);
    LibraryLock lock;
    g_broadcast.storeList = std::move(list);
}

// Reads the store list from the store; false when there is no store or it cannot be read.
bool LoadStoreList() {
    qz::SettingsLocation store = CurrentStore();
    std::vector<std::pair<size_t, uint32_t>> found;
    if (store.ini()) {
        ReadIniList(store, kMaxBroadcastAddresses, found);
    } else if (store.registry()) {
        size_t count = 0;
        ReadRegistryCount(store, &count);
        ReadRegistryList(store, count, found);
    } else {
        return false;
    }
    SetStoreList(found);
    return true;
}

void LogAddresses(HWND service, const uint32_t* addresses, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t a = addresses[i];
        LogLine(service, "  %u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    }
}

int GetFromIni(const qz::SettingsLocation& store, uint32_t* array, size_t capacity, uint32_t* count) {
    std::vector<std::pair<size_t, uint32_t>> found;
    size_t looked = ReadIniList(store, capacity, found);
    for (const auto& entry : found) array[entry.first] = entry.second;
    *count = static_cast<uint32_t>(looked);
    LoadStoreList();
    return 1;
}

int GetFromRegistry(const qz::SettingsLocation& store, uint32_t* array, size_t capacity, uint32_t* count) {
    size_t stored = 0;
    ReadRegistryCount(store, &stored);
    if (stored == 0) {
        SetStoreList({});
        *count = 0;
        return 1;
    }
    if (capacity < stored) return 0;
    std::vector<std::pair<size_t, uint32_t>> found;
    ReadRegistryList(store, stored, found);
    for (const auto& entry : found) array[entry.first] = entry.second;
    SetStoreList(found);
    *count = static_cast<uint32_t>(stored);
    return 1;
}

int SetInIni(const qz::SettingsLocation& store, const uint32_t* array, size_t count) {
    store.Remove(kBroadcastIniSection, nullptr);
    bool written = store.WriteNumber(kBroadcastIniSection, kCountName, static_cast<uint32_t>(count));
    char text[16];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(array[i]));
        store.WriteText(kBroadcastIniSection, EntryName(i).c_str(), text);
    }
    store.Flush();
    LoadStoreList();
    return written ? 1 : 0;
}

bool IsListValueName(const char* name) {
    if (_stricmp(name, kCountName) == 0) return true;
    if (_strnicmp(name, "UDP", 3) != 0 || name[3] == '\0') return false;
    for (const char* p = name + 3; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
    }
    return true;
}

// Removes the list's own values only: the key may hold other settings (and sub-keys) that
// rewriting the list must not take with it.
void DeleteRegistryList(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (IsListValueName(name)) names.emplace_back(name);
    }
    for (const std::string& n : names) RegDeleteValueA(key, n.c_str());
}

int SetInRegistry(const qz::SettingsLocation& store, const uint32_t* array, size_t count) {
    qz::RegKey key;
    if (!store.OpenKey(nullptr, true, &key)) return 0;
    DeleteRegistryList(key.get());
    bool anyWritten = store.WriteNumber(nullptr, kCountName, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        if (store.WriteNumber(nullptr, EntryName(i).c_str(), array[i])) anyWritten = true;
    }
    LibraryLock lock;
    g_broadcast.storeList.assign(array, array + count);
    return anyWritten ? 1 : 0;
}
}  // namespace

int BroadcastStoreKind() {
    LibraryLock lock;
    return g_broadcast.store.kind;
}

bool BroadcastRegistryStore(HKEY* root, std::string* keyPath) {
    qz::SettingsLocation store = CurrentStore();
    if (!store.registry() || !root || !keyPath) return false;
    *root = store.root;
    *keyPath = store.keyPath;
    return true;
}

bool BroadcastListInIni() { return BroadcastStoreKind() == qz::SettingsLocation::kIni; }

std::string DiscoveryIniFile() {
    LibraryLock lock;
    return g_broadcast.iniFile;
}

void ReloadBroadcastList(bool fromStore) {
    if (!fromStore || !LoadStoreList()) {
        LibraryLock lock;
        g_broadcast.storeList.clear();
    }
    LibraryLock lock;
    g_broadcast.remoteDesktop = false;
    g_broadcast.remoteDesktopList.clear();
}

void ReloadBroadcastListFromIni() {
    if (BroadcastListInIni()) LoadStoreList();
}

bool SetBroadcastMemoryList(const uint32_t* networkOrder, size_t count, bool append) {
    LibraryLock lock;
    if (!append || !networkOrder || count == 0) g_broadcast.memoryList.clear();
    if (!networkOrder) return true;
    try {
        g_broadcast.memoryList.reserve(kMaxBroadcastAddresses);
    } catch (const std::bad_alloc&) {
        g_broadcast.memoryList.clear();
        return false;
    }
    for (size_t i = 0; i < count && g_broadcast.memoryList.size() < kMaxBroadcastAddresses; ++i) {
        g_broadcast.memoryList.push_back(SwapOrder(networkOrder[i]));
    }
    return true;
}

void ReplaceBroadcastList(const std::vector<uint32_t>& networkOrder) {
    LibraryLock lock;
    g_broadcast.remoteDesktopList.clear();
    for (uint32_t address : networkOrder) {
        if (g_broadcast.remoteDesktopList.size() == kMaxBroadcastAddresses) break;
        g_broadcast.remoteDesktopList.push_back(SwapOrder(address));
    }
    g_broadcast.remoteDesktop = true;
}

std::vector<uint32_t> BroadcastSearchList() {
    LibraryLock lock;
    if (g_broadcast.remoteDesktop) return g_broadcast.remoteDesktopList;
    std::vector<uint32_t> list = g_broadcast.storeList;
    for (uint32_t address : g_broadcast.memoryList) {
        if (list.size() == kMaxBroadcastAddresses) break;
        list.push_back(address);
    }
    if (list.size() > kMaxBroadcastAddresses) list.resize(kMaxBroadcastAddresses);
    return list;
}

void FreeBroadcastListMemory() {
    LibraryLock lock;
    g_broadcast.storeList.clear();
    g_broadcast.storeList.shrink_to_fit();
    g_broadcast.memoryList.clear();
    g_broadcast.memoryList.shrink_to_fit();
    g_broadcast.remoteDesktopList.clear();
    g_broadcast.remoteDesktop = false;
}

void ResetBroadcastListForTests() {
    LibraryLock lock;
    g_broadcast = BroadcastState{};
}

int InitBroadcastStore(HWND service, const char* location) {
    LogLine(service, "PnxInitBroadcastAddr()");
    if (!location || !location[0]) return 0;
    LogLine(service, "  %s", location);
    qz::SettingsLocation store = qz::SettingsLocation::Parse(location);
    // A path that Windows cannot open would silently read as an empty list.
    if (store.ini() && std::strlen(location) >= MAX_PATH) return 0;
    {
        LibraryLock lock;
        g_broadcast.store = store;
        if (!store.registry()) g_broadcast.iniFile = location;
    }
    // Logged outside the lock: the log writes to a window of the GUI thread.
    LogLine(service, store.registry() ? "  Registry" : "  INI File");
    return 1;
}

int ReadBroadcastAddresses(HWND service, uint32_t* array, uint32_t capacityBytes, uint32_t* count) {
    if (!array || !count || capacityBytes == 0) return 0;
    size_t capacity = capacityBytes / sizeof(uint32_t);
    if (capacity > kMaxBroadcastAddresses) capacity = kMaxBroadcastAddresses;
    qz::SettingsLocation store = CurrentStore();
    int result = 0;
    if (store.ini()) {
        result = GetFromIni(store, array, capacity, count);
    } else if (store.registry()) {
        result = GetFromRegistry(store, array, capacity, count);
    }
    uint32_t shown = result ? *count : 0;
    LogLine(service, "PnxGetBroadcastAddr(%d) : Count = %u", result, shown);
    LogAddresses(service, array, shown);
    return result;
}

int WriteBroadcastAddresses(HWND service, const uint32_t* array, uint32_t count) {
    qz::SettingsLocation store = CurrentStore();
    if (!array || store.kind == qz::SettingsLocation::kNone) return 0;
    size_t kept = count > kMaxBroadcastAddresses ? kMaxBroadcastAddresses : count;
    int result = store.ini() ? SetInIni(store, array, kept) : SetInRegistry(store, array, kept);
    LogLine(service, "PnxSetBroadcastAddr(%d) : Count = %u", result, static_cast<unsigned>(kept));
    LogAddresses(service, array, kept);
    return result;
}

int ReplaceMemoryBroadcastAddresses(HWND service, const uint32_t* array, uint32_t count) {
    int result = SetBroadcastMemoryList(array, array ? count : 0, false) ? 1 : 0;
    std::vector<uint32_t> list;
    {
        LibraryLock lock;
        list = g_broadcast.memoryList;
    }
    LogLine(service, "PnxSetBroadcastAddrMemory() : Count = %u", static_cast<unsigned>(list.size()));
    LogAddresses(service, list.data(), list.size());
    return result;
}
