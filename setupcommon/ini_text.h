// INI texts with escapes and one argument, numbered INI lists, fields, numbers and ampersands.
#pragma once

#include <windows.h>

#include <safe_format.h>

#include <string>

using qz::FormatArg;

// The value of [section] key with "\n" and "\t" expanded and, when an argument is given, its
// first conversion replaced by it; cut to fit buffer. The number of lines, 0 when empty.
int GetIniText(const char* iniPath, const char* section, const char* key, FormatArg argument, char* buffer,
               size_t size);
// The same into a string of any length, from a value of at most maxChars characters.
std::string GetIniString(const char* iniPath, const char* section, const char* key, FormatArg argument = {},
                         size_t maxChars = 1024);
// In place: "\n" becomes CR LF, "\t" one tab. The number of lines.
int ExpandEscapes(char* text, size_t length);

// Writes value under the first free key keyFormat(0), keyFormat(1), ... unless one of the keys
// already holds it (any case). keyFormat holds one decimal conversion, such as "PATH_%03d".
int AppendIniListValue(const char* section, const char* keyFormat, const char* value, const char* iniPath);
// Writes value under the key keyFormat(first, second).
int WriteIniIndexedValue(const char* section, int first, int second, const char* keyFormat, const char* value,
                         const char* iniPath);
// The key of list entry `number`: keyFormat with that number.
std::string IniListKey(const char* keyFormat, int number);

// Field `index` of at most maxFields fields of text separated by delimiter; cuts the text in
// place. Null for a missing or empty field (an empty field 0 is returned as "").
char* GetToken(char* text, const char* delimiter, int maxFields, int index);
// Digits below base; 0xFFFFFFFF for an empty text, a base below 1 or any other character.
DWORD ParseNumber(const char* text, int base);
// doubled: every "&" written twice; else "&&" becomes "&" (a single "&" is kept). Bounded by
// outSize; returns the length written.
size_t EscapeAmpersands(char* out, size_t outSize, const char* text, bool doubled);
