#include "settings_location.h"

#include "win_handles.h"

#include <cstring>
#include <string>

namespace {

struct RootName {
    const char* shortName;
    const char* longName;
    HKEY root;
};

const RootName kRootNames[] = {
    {"HLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HU", "HKEY_USERS", HKEY_USERS},
    {"HCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Registry data is untrusted: a string value need not carry its terminator. Adds one when
// there is room; false when there is none.
bool TerminateString(char* buffer, DWORD used, DWORD capacity) {
    if (used > 0 && buffer[used - 1] == '\0') return true;
    if (used >= capacity) return false;
    buffer[used] = '\0';
    return true;
}

// Bytes of a default to write: a string's text and terminator, other types the whole buffer.
DWORD DefaultSize(DWORD type, const void* buffer, DWORD size) {
    if (!IsStringType(type) || type == REG_MULTI_SZ) return size;
    size_t len = strnlen(static_cast<const char*>(buffer), size);
    return static_cast<DWORD>(len < size ? len + 1 : size);
}

}  // namespace

HKEY ParseSettingsLocation(const char* location, char* keyPath, size_t capacity) {
    if (!location || !keyPath) return nullptr;
    const char* slash = std::strchr(location, '\\');
    if (!slash) return nullptr;
    size_t rootLength = static_cast<size_t>(slash - location);
    HKEY root = nullptr;
    for (const RootName& name : kRootNames) {
        if ((rootLength == std::strlen(name.shortName) &&
             _strnicmp(location, name.shortName, rootLength) == 0) ||
            (rootLength == std::strlen(name.longName) &&
             _strnicmp(location, name.longName, rootLength) == 0)) {
            root = name.root;
            break;
        }
    }
    if (!root) return nullptr;
    const char* rest = slash + 1;
    size_t restLength = std::strlen(rest);
    if (restLength + 1 > capacity) return nullptr;
    std::memcpy(keyPath, rest, restLength + 1);
    return root;
}

bool RegReadValue(HKEY root, const char* keyPath, const char* valueName, void* buffer,
                  DWORD* size, DWORD* type) {
    if (!root || !keyPath || !buffer || !size) return false;
    qz::RegKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD capacity = *size;
    DWORD used = capacity;
    DWORD valueType = REG_NONE;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &valueType, static_cast<BYTE*>(buffer),
                         &used) != ERROR_SUCCESS) {
        return false;
    }
    if (IsStringType(valueType) && !TerminateString(static_cast<char*>(buffer), used, capacity)) {
        return false;
    }
    *size = used;
    if (type) *type = valueType;
    return true;
}

bool RegReadOrCreateValue(HKEY root, const char* keyPath, const char* valueName, DWORD type,
                          void* buffer, DWORD size) {
    if (!root || !keyPath || !buffer || size == 0) return false;
    qz::RegKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, key.put(), &disposition) != ERROR_SUCCESS) {
        return false;
    }
    if (disposition == REG_OPENED_EXISTING_KEY) {
        // Read into a copy: a failed read must not disturb the default in the buffer.
        std::string value(size, '\0');
        DWORD used = size;
        DWORD valueType = REG_NONE;
        if (RegQueryValueExA(key.get(), valueName, nullptr, &valueType,
                             reinterpret_cast<BYTE*>(value.data()), &used) == ERROR_SUCCESS &&
            valueType == type &&
            (!IsStringType(type) || TerminateString(value.data(), used, size))) {
            std::memcpy(buffer, value.data(), size);
            return true;
        }
    }
    return RegSetValueExA(key.get(), valueName, 0, type, static_cast<const BYTE*>(buffer),
                          DefaultSize(type, buffer, size)) == ERROR_SUCCESS;
}

bool RegWriteValue(HKEY root, const char* keyPath, const char* valueName, DWORD type,
                   const void* data, DWORD size) {
    if (!root || !keyPath || (!data && size)) return false;
    qz::RegKey key;
    if (RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExA(key.get(), valueName, 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}
