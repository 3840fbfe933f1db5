// Whole registry values read as untrusted bytes, and the checked views of them that the
// settings store needs: a value read back may have any type and any length, a string need not
// be terminated, a number need not have its size.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

// Reads the whole value `name` of an open key. False when it is missing, unreadable or larger
// than any value the store writes (1 MiB).
bool ReadRegistryValue(HKEY key, const char* name, RegistryValue* value);

// The text of a string value (REG_SZ or REG_EXPAND_SZ): its bytes up to the first NUL or the
// end of the data, cut at maxLength characters. False for any other type.
bool RegistryText(const RegistryValue& value, std::string* text, size_t maxLength = SIZE_MAX);

// Numbers of an exact size, little-endian; false when the value holds another number of bytes
// (or, for the DWORD, is no REG_DWORD).
bool RegistryU8(const RegistryValue& value, uint8_t* number);
bool RegistryU16(const RegistryValue& value, uint16_t* number);
bool RegistryDword(const RegistryValue& value, uint32_t* number);

// The same, read straight from an open key; the output is untouched on failure.
bool ReadRegistryText(HKEY key, const char* name, std::string* text, size_t maxLength = SIZE_MAX);
bool ReadRegistryU8(HKEY key, const char* name, uint8_t* number);
bool ReadRegistryU16(HKEY key, const char* name, uint16_t* number);
bool ReadRegistryDword(HKEY key, const char* name, uint32_t* number);

// Writes to an open key; true when the value was set.
bool WriteRegistryText(HKEY key, const char* name, const char* text);
bool WriteRegistryBinary(HKEY key, const char* name, const void* data, size_t size);
bool WriteRegistryU16(HKEY key, const char* name, uint16_t number);
bool WriteRegistryDword(HKEY key, const char* name, uint32_t number);

// The names of the sub-keys of an open key, in enumeration order. Taken whole before the
// caller changes anything below the key, so that writes cannot disturb the enumeration.
std::vector<std::string> RegistrySubKeyNames(HKEY key);
