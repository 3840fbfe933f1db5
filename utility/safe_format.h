// Fills "%s" placeholders of a text that comes from a message file. Such texts are data, so the
// formatter never reads an argument that was not given: "%s" takes the arguments in order
// (one beyond them becomes empty), "%%" becomes "%", any other "%" sequence stays as it is,
// and the output is cut to the destination and always terminated.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

// Returns the number of characters written (without the terminator).
size_t SafeFormat(wchar_t* out, size_t outChars, const wchar_t* format,
                  std::initializer_list<const wchar_t*> args);
std::wstring SafeFormat(const wchar_t* format, std::initializer_list<const wchar_t*> args);
