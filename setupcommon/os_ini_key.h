// The OS-specific key of an INI section: the "OS" value ("KEY:XP,7X64;KEY2:10") or, when that
// names none, the table "OS_00", "OS_01", ... ("KEY:XP,VISTA").
#pragma once

#include <cstddef>
#include <cstdint>

// The key for the OS code and flags into buffer, or an empty buffer.
void GetOsIniKey(const char* iniPath, int code, uint32_t flags, const char* section, char* buffer, size_t size);
bool GetOsIniKeyFromSection(const char* iniPath, int code, uint32_t flags, const char* section, char* buffer,
                            size_t size);
bool GetOsIniKeyFromTable(const char* iniPath, int code, uint32_t flags, const char* section, char* buffer,
                          size_t size);
