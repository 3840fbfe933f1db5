// Texts of the message file (Pnxmsg.ini beside the program): two escapes and "%s" arguments.
#pragma once

#include <cstddef>
#include <string>

// Turns each "\n" into CR LF (in place of the two characters) and each "\t" into a tab (the
// rest moves left by one). `length` is the text's length in characters. Returns the number of
// lines: the "\n" escapes plus one.
int UnescapeText(wchar_t* text, size_t length);

// Reads [section] key (at most 511 characters), unescapes it and, when `argument` is given,
// fills its "%s" with it. The result is cut to outBytes and terminated; returns the line count.
int LoadIniText(const wchar_t* iniPath, const wchar_t* section, const wchar_t* key,
                const wchar_t* argument, wchar_t* out, size_t outBytes);

// The raw value of [section] key, at most maxChars characters, empty when missing.
std::wstring ReadIniValue(const wchar_t* iniPath, const wchar_t* section, const wchar_t* key,
                          size_t maxChars);
// The unescaped value, without arguments.
std::wstring IniText(const wchar_t* iniPath, const wchar_t* section, const wchar_t* key,
                     size_t maxChars = 511);
