// File version resources and version texts such as "1.10.2a".
#pragma once

#include <windows.h>

#include <cstdint>

struct VersionParts {
    int32_t first;
    int32_t second;
    int32_t third;
    char suffix[16];  // text after the third number
};

// The string `name` ("FileVersion", ...) of the file's version resource, buffer of 260
// bytes; 1 when the file has a version resource (the buffer may still be empty).
int GetFileVersionString(char* buffer, const char* file, const char* name);
// "FileVersionMS" or "FileVersionLS" of the fixed file information.
int GetFileVersionNumber(const char* file, const char* which, DWORD* number);
// 1 when the text has three fields.
int ParseVersionString(VersionParts* parts, const char* text);
// Negative, 0 or positive as a is lower than, equal to or higher than b.
int CompareVersionStrings(const char* a, const char* b);
