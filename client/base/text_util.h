// Text and number conversions shared by the library: UTF-8 to wide, numbers in a base,
// heap strings, hexadecimal runs and address texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Copies a text into a fixed field with its terminator: CopyIfFits only when the whole text
// fits (else false, the field untouched), CopyCut cutting it to the field (nothing for a null
// field or capacity 0).
bool CopyIfFits(std::string_view text, char* out, size_t capacity);
void CopyCut(std::string_view text, char* out, size_t capacity);
template <size_t N>
void CopyCut(std::string_view text, char (&out)[N]) {
    CopyCut(text, out, N);
}
// The text of a field that need not be terminated.
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}
inline std::string_view TextOrEmpty(const char* text) { return text ? std::string_view(text) : std::string_view(); }

// A newly allocated wide copy of a UTF-8 text on the process heap (free with HeapFree);
// null for a null text or when the conversion fails.
wchar_t* Utf8ToWideAlloc(const char* text);

// Reads a number in `base` from digits 0-9, a-f, A-F up to the end of the text. A digit whose
// value is not below the base ends the number and the value read so far is the result.
// -1 for a null text, a base of 0 or less, or a character that is no hexadecimal digit.
long ParseNumber(const char* text, int base);

// Replaces *target (a process-heap string or null) with a zero-terminated copy of the first
// n bytes of source. Returns n; 0 (and *target unchanged) for a null source, n = 0 or a
// failed allocation.
size_t ReplaceHeapString(char** target, const char* source, size_t n);

// Formats the u16 values of a byte run, each read in network byte order `step` bytes after
// the previous one and printed with `format` (one unsigned argument, such as "%04x") at
// 2 characters (step 1) or step x step characters (larger steps) after the previous one.
// Never reads past input + inputBytes nor writes past out + outCapacity; the output is always
// terminated when outCapacity > 0. Returns the characters written (without the terminator).
size_t FormatU16Run(const void* input, size_t inputBytes, size_t step, const char* format,
                    char* out, size_t outCapacity);

// Converts pairs of hexadecimal characters (high digit first, any case) within the first
// textLength characters into bytes; stops at the first pair that is not hexadecimal or when
// out is full. Returns the bytes written.
size_t HexTextToBytes(const char* text, size_t textLength, uint8_t* out, size_t outCapacity);

// Kinds of address text.
constexpr int kAddressHardware = 1;  // 6 bytes as "%02X:%02X:%02X:%02X:%02X:%02X"
constexpr int kAddressIpv4 = 2;      // 4 bytes in network byte order as "%d.%d.%d.%d"

// Writes the text of an address into out only when it fits (terminator included).
// 1 when written; 0 for null arguments, an unknown kind or a text that does not fit
// (the buffer is then untouched).
int FormatAddressText(int kind, const void* address, char* out, size_t capacity);

// Conveniences for log texts.
std::string HardwareAddressText(const uint8_t address[6]);
std::string Ipv4Text(uint32_t networkOrderAddress);
