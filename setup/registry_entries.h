// Registry values that the setup script lists (REGEX entries with their OS filters) and the
// control-panel items of [<app>_CPL].
#pragma once

#include "setup_context.h"

#include <string>

// COMMON, or the running release's word inside the filter (any case).
bool OsFilterMatches(const char* filter, int osCode, uint32_t osFlags);
// The root of a script root word ("HLM", "HCU", "HCR", "HU", "HCC"), or null.
HKEY ScriptRegistryRoot(const char* word);
// REG_DWORD, REG_BINARY, REG_MULTI_SZ, REG_EXPAND_SZ or REG_SZ by the word inside the text;
// REG_NONE when none is there.
DWORD ScriptValueType(const char* word);
// The bytes of BINARY data: an optional "0x", then pieces of two decimal digits.
std::string ParseBinaryData(const char* data);
// The data of a string value as stored: the text with its zero (two for REG_MULTI_SZ).
std::string StringValueBytes(const std::string& text, DWORD type);
void ExpandRegistryPath(const ApplicationRecord* record, const char* data, char* out, size_t size, bool fullPath);

void WriteRegistryEntries(HWND page, SetupContext* context);
int WriteRegistryEntry(SetupContext* context, const ApplicationRecord* record, const char* entry);
int SetControlPanel(HWND page, SetupContext* context);
void WriteScriptRegistryValue(int osCode, uint32_t osFlags, HKEY root, const char* key, const char* entry,
                              const ApplicationRecord* record);
