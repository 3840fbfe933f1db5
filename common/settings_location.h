// A place where settings are kept: a registry key (a root and the path below it) or an INI file,
// named by one text: "HCU\Software\..." (the root's short or long name, see registry_roots.h)
// is a registry key, any other text the path of an INI file.
//
// Values are read and written by section and name. In the registry a section is the sub-key
// below the location's key (an empty or null section is the key itself); in an INI file it is
// the file's section. Numbers are REG_DWORD values in the registry and decimal texts in an INI
// file. Everything read is untrusted: texts come back terminated, numbers checked.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "registry_roots.h"
#include "win_handles.h"

namespace qz {

struct SettingsLocation {
    enum Kind : uint16_t { kNone = 0, kIni = 1, kRegistry = 2 };
    static constexpr size_t kMaxKeyPath = 261;  // with the terminator

    Kind kind = kNone;
    HKEY root = nullptr;   // registry: the root key
    std::string keyPath;   // registry: the key below the root
    std::string iniFile;   // INI: the file's path

    // The location a text names; an empty or null text is none.
    static SettingsLocation Parse(const char* text) {
        SettingsLocation location;
        if (!text || !*text) return location;
        if (const char* slash = std::strchr(text, '\\')) {
            HKEY found = FindRegistryRoot(text, static_cast<size_t>(slash - text));
            // A key path longer than the registry allows is taken for a file name.
            if (found && std::strlen(slash + 1) < kMaxKeyPath) {
                location.kind = kRegistry;
                location.root = found;
                location.keyPath = slash + 1;
                return location;
            }
        }
        location.kind = kIni;
        location.iniFile = text;
        return location;
    }

    static SettingsLocation Registry(HKEY root, std::string keyPath) {
        SettingsLocation location;
        location.kind = root ? kRegistry : kNone;
        location.root = root;
        location.keyPath = std::move(keyPath);
        return location;
    }

    bool registry() const { return kind == kRegistry; }
    bool ini() const { return kind == kIni; }

    // Registry: the path of a section's key ("<key>\<section>", or the key itself).
    std::string KeyOf(const char* section) const {
        if (!section || !*section) return keyPath;
        return keyPath.empty() ? std::string(section) : keyPath + "\\" + section;
    }

    // The location of a section's key (registry); an INI location stays as it is.
    SettingsLocation Below(const char* section) const {
        SettingsLocation below = *this;
        if (registry()) below.keyPath = KeyOf(section);
        return below;
    }

    // Opens a section's key (for reading unless `access` says otherwise), or with create
    // makes it when it is missing (for all access).
    bool OpenKey(const char* section, bool create, RegKey* key, REGSAM access = 0) const {
        if (!registry() || !key) return false;
        std::string path = KeyOf(section);
        if (create)
            return RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   access ? access : KEY_ALL_ACCESS, nullptr, key->put(), nullptr) == ERROR_SUCCESS;
        return RegOpenKeyExA(root, path.c_str(), 0, access ? access : KEY_READ, key->put()) == ERROR_SUCCESS;
    }

    bool ReadText(const char* section, const char* name, std::string* text) const {
        if (!text || !name) return false;
        if (ini()) {
            // GetPrivateProfileString gives capacity - 1 when the text was cut: grow and retry.
            for (DWORD capacity = 256; capacity <= 65536; capacity *= 4) {
                std::string buffer(capacity, '\0');
                DWORD n = GetPrivateProfileStringA(section, name, "\x01", buffer.data(), capacity, iniFile.c_str());
                if (n + 1 >= capacity) continue;
                if (n == 1 && buffer[0] == '\x01') return false;  // missing
                buffer.resize(n);
                *text = std::move(buffer);
                return true;
            }
            return false;
        }
        RegKey key;
        if (!OpenKey(section, false, &key)) return false;
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ) || size > 65536)
            return false;
        std::string buffer(size, '\0');
        if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
            ERROR_SUCCESS)
            return false;
        buffer.resize(strnlen(buffer.data(), size < buffer.size() ? size : buffer.size()));
        *text = std::move(buffer);
        return true;
    }

    bool WriteText(const char* section, const char* name, const char* text) const {
        if (!name || !text) return false;
        if (ini()) return WritePrivateProfileStringA(section, name, text, iniFile.c_str()) != FALSE;
        return WriteValue(section, name, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
    }

    bool ReadNumber(const char* section, const char* name, uint32_t* value) const {
        if (!value) return false;
        if (ini()) {
            std::string text;
            if (!ReadText(section, name, &text) || text.empty() || text.size() > 10) return false;
            uint64_t number = 0;
            for (char c : text) {
                if (c < '0' || c > '9') return false;
                number = number * 10 + static_cast<uint64_t>(c - '0');
            }
            if (number > 0xFFFFFFFFull) return false;
            *value = static_cast<uint32_t>(number);
            return true;
        }
        DWORD number = 0;
        DWORD size = sizeof number;
        DWORD type = REG_NONE;
        if (!ReadValue(section, name, &number, &size, &type) || type != REG_DWORD || size != sizeof number)
            return false;
        *value = number;
        return true;
    }

    bool WriteNumber(const char* section, const char* name, uint32_t value) const {
        if (ini()) return WriteText(section, name, std::to_string(value).c_str());
        DWORD number = value;
        return WriteValue(section, name, REG_DWORD, &number, sizeof number);
    }

    // Removes a value; in an INI file a null name removes the whole section.
    bool Remove(const char* section, const char* name) const {
        if (ini()) return WritePrivateProfileStringA(section, name, nullptr, iniFile.c_str()) != FALSE;
        RegKey key;
        if (!name || !OpenKeyForChange(section, &key)) return false;
        return RegDeleteValueA(key.get(), name) == ERROR_SUCCESS;
    }

    // INI: writes the file out of the system's cache.
    void Flush() const {
        if (ini()) WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniFile.c_str());
    }

    // Registry values of any type. ReadValue: *size is the buffer's capacity in and the bytes
    // read out; a string value comes back terminated, and one without room for that fails.
    bool ReadValue(const char* section, const char* name, void* buffer, DWORD* size, DWORD* type = nullptr) const {
        if (!buffer || !size) return false;
        RegKey key;
        if (!OpenKey(section, false, &key)) return false;
        DWORD capacity = *size;
        DWORD used = capacity;
        DWORD valueType = REG_NONE;
        if (RegQueryValueExA(key.get(), name, nullptr, &valueType, static_cast<BYTE*>(buffer), &used) !=
            ERROR_SUCCESS)
            return false;
        if (IsString(valueType) && !Terminate(static_cast<char*>(buffer), used, capacity)) return false;
        *size = used;
        if (type) *type = valueType;
        return true;
    }

    // Reads a value of `type` into buffer (capacity `size`), whose content on entry is the
    // default: a missing key is created and a missing, unreadable or mistyped value written
    // with the default; an existing value is read and nothing is written.
    bool ReadOrCreateValue(const char* section, const char* name, DWORD type, void* buffer, DWORD size) const {
        if (!buffer || size == 0) return false;
        RegKey key;
        if (!OpenKey(section, true, &key)) return false;
        // Read into a copy: a failed read must not disturb the default in the buffer.
        std::string value(size, '\0');
        DWORD used = size;
        DWORD valueType = REG_NONE;
        if (RegQueryValueExA(key.get(), name, nullptr, &valueType, reinterpret_cast<BYTE*>(value.data()), &used) ==
                ERROR_SUCCESS &&
            valueType == type && (!IsString(type) || Terminate(value.data(), used, size))) {
            std::memcpy(buffer, value.data(), size);
            return true;
        }
        DWORD write = size;
        if (IsString(type) && type != REG_MULTI_SZ) {
            size_t length = strnlen(static_cast<const char*>(buffer), size);
            write = static_cast<DWORD>(length < size ? length + 1 : size);
        }
        return RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(buffer), write) == ERROR_SUCCESS;
    }

    // Writes a value, creating the key when it is missing.
    bool WriteValue(const char* section, const char* name, DWORD type, const void* data, DWORD size) const {
        if (!data && size) return false;
        RegKey key;
        if (!OpenKey(section, true, &key)) return false;
        return RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    }

private:
    bool OpenKeyForChange(const char* section, RegKey* key) const {
        return RegOpenKeyExA(root, KeyOf(section).c_str(), 0, KEY_SET_VALUE, key->put()) == ERROR_SUCCESS;
    }
    static bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }
    // A string value need not carry its terminator: adds one when there is room.
    static bool Terminate(char* buffer, DWORD used, DWORD capacity) {
        if (used > 0 && buffer[used - 1] == '\0') return true;
        if (used >= capacity) return false;
        buffer[used] = '\0';
        return true;
    }
};

}  // namespace qz
