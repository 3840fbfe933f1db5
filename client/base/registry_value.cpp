#include "registry_value.h"

#include <cstring>

#include "byte_reader.h"

namespace {
constexpr DWORD kMaxValueBytes = 1u << 20;
constexpr int kReadAttempts = 4;
}  // namespace

bool ReadRegistryValue(HKEY key, const char* name, RegistryValue* value) {
    if (!key || !value) return false;
    // The value can change between the size query and the read; ask again when it grew.
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
        if (size > kMaxValueBytes) return false;
        std::vector<uint8_t> data(size ? size : 1);
        DWORD used = static_cast<DWORD>(data.size());
        LONG result = RegQueryValueExA(key, name, nullptr, &type, data.data(), &used);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS || used > data.size()) return false;
        data.resize(used);
        value->type = type;
        value->data = std::move(data);
        return true;
    }
    return false;
}

bool RegistryText(const RegistryValue& value, std::string* text, size_t maxLength) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return false;
    const char* bytes = reinterpret_cast<const char*>(value.data.data());
    size_t length = 0;
    while (length < value.data.size() && bytes[length] != '\0') ++length;
    if (length > maxLength) length = maxLength;
    text->assign(bytes, length);
    return true;
}

bool RegistryU8(const RegistryValue& value, uint8_t* number) {
    if (value.data.size() != 1) return false;
    *number = value.data[0];
    return true;
}

bool RegistryU16(const RegistryValue& value, uint16_t* number) {
    if (value.data.size() != 2) return false;
    qz::ByteReader reader(value.data.data(), value.data.size());
    *number = reader.u16le();
    return true;
}

bool RegistryDword(const RegistryValue& value, uint32_t* number) {
    if (value.type != REG_DWORD || value.data.size() != 4) return false;
    qz::ByteReader reader(value.data.data(), value.data.size());
    *number = reader.u32le();
    return true;
}

bool ReadRegistryText(HKEY key, const char* name, std::string* text, size_t maxLength) {
    RegistryValue value;
    return ReadRegistryValue(key, name, &value) && RegistryText(value, text, maxLength);
}

bool ReadRegistryU8(HKEY key, const char* name, uint8_t* number) {
    RegistryValue value;
    return ReadRegistryValue(key, name, &value) && RegistryU8(value, number);
}

bool ReadRegistryU16(HKEY key, const char* name, uint16_t* number) {
    RegistryValue value;
    return ReadRegistryValue(key, name, &value) && RegistryU16(value, number);
}

bool ReadRegistryDword(HKEY key, const char* name, uint32_t* number) {
    RegistryValue value;
    return ReadRegistryValue(key, name, &value) && RegistryDword(value, number);
}

bool WriteRegistryText(HKEY key, const char* name, const char* text) {
    if (!text) text = "";
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool WriteRegistryBinary(HKEY key, const char* name, const void* data, size_t size) {
    if (!data) size = 0;
    return RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), static_cast<DWORD>(size)) ==
           ERROR_SUCCESS;
}

bool WriteRegistryU16(HKEY key, const char* name, uint16_t number) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8)};
    return WriteRegistryBinary(key, name, bytes, sizeof bytes);
}

bool WriteRegistryDword(HKEY key, const char* name, uint32_t number) {
    DWORD value = number;
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

std::vector<std::string> RegistrySubKeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];  // the longest key name the registry allows, with its terminator
        DWORD length = sizeof name;
        LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) continue;  // no key name is that long; skip it
        if (result != ERROR_SUCCESS) break;
        names.emplace_back(name, length < sizeof name ? length : sizeof name - 1);
    }
    return names;
}
