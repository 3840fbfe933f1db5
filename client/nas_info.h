// NasInfo, the caller-visible record of one storage entry (a share of a server's storage),
// and its copies. The two strings are local-heap blocks that the record owns.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#pragma pack(push, 1)
struct NasInfo {
    wchar_t name[32];        // the storage's name
    wchar_t text[261];       // the storage's text
    uint16_t vid;
    uint16_t pid;
    wchar_t* label;          // share label (the default storage name when the server gives none)
    wchar_t* shareName;      // network share name
    uint32_t value1;
    uint32_t value2;
    uint32_t mounted;        // 1 mounted
    uint16_t state;          // kNasState*
    uint16_t previousState;
    uint32_t shareFlag;
};
#pragma pack(pop)
static_assert(offsetof(NasInfo, text) == 64);
static_assert(offsetof(NasInfo, vid) == 586);
static_assert(offsetof(NasInfo, pid) == 588);
static_assert(offsetof(NasInfo, label) == 590);
static_assert(offsetof(NasInfo, shareName) == 590 + sizeof(void*));
static_assert(offsetof(NasInfo, value1) == 590 + 2 * sizeof(void*));
static_assert(offsetof(NasInfo, state) == 602 + 2 * sizeof(void*));
static_assert(sizeof(NasInfo) == (sizeof(void*) == 8 ? 626 : 618));

// A local-heap copy of a wide text; null for a null text or no memory.
wchar_t* LocalWideCopy(const wchar_t* text);
// Replaces a record's string with a copy of `text` (the old one released). False on no memory.
bool SetNasString(wchar_t** field, const wchar_t* text);
// Releases and nulls both strings.
void FreeNasStrings(NasInfo* info);
// A caller's record emptied, or its strings released; 0 for a null record.
int InitNasRecord(NasInfo* info);
int FreeNasRecord(NasInfo* info);
// A deep copy (fresh strings). False, with `to` holding no strings, on no memory.
bool CopyNasInfo(NasInfo* to, const NasInfo& from);

// Widening of the reply's texts: the storage name and text are ANSI, labels and share names
// UTF-8; the result is cut to `maxChars`.
std::wstring WidenAnsi(const std::string& text, size_t maxChars = SIZE_MAX);
std::wstring WidenUtf8(const std::string& text, size_t maxChars = SIZE_MAX);
