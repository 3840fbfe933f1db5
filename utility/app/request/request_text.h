// The texts of the request toasts: which [REQUEST] text says how long the holder still waits,
// the two-name texts (the other PC first, the device second) and the fitting of a text into
// its rectangle by shortening its first name with "...". No window: the measuring is a
// callback, so the rules are tested directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The painted texts of the open toast, read by the painter and by tests.
struct ToastTextModel {
    std::wstring title;
    std::wstring message;
    std::wstring lower;
};

// More than 30 seconds: "MSG11" with the minutes rounded up; otherwise "MSG12" with the seconds.
const wchar_t* CountdownTextKey(uint32_t seconds, uint32_t* number);
std::wstring CountdownText(const std::wstring& format11, const std::wstring& format12, uint32_t seconds);

// `format` filled with (second, first) when there is a second name, else with (first).
std::wstring FormatRequestText(const std::wstring& format, const std::wstring& first, const std::wstring* second);

// The formatted text when it fits; otherwise the first name is cut to its length minus 1, then
// 8 characters shorter at each further try, each time with "..." appended, until the text
// fits or nothing of the name is left (the last try is returned then).
std::wstring FitRequestText(const std::wstring& format, const std::wstring& first, const std::wstring* second,
                            const std::function<bool(const std::wstring&)>& fits);
