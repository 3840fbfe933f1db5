// Composing and fitting the request toast texts.
#include "request_text.h"

#include "safe_format.h"

namespace {
constexpr uint32_t kSecondsShownUpTo = 30;
constexpr size_t kFitStep = 8;
}  // namespace

const wchar_t* CountdownTextKey(uint32_t seconds, uint32_t* number) {
    if (seconds > kSecondsShownUpTo) {
        if (number) *number = seconds / 60 + (seconds % 60 != 0);  // rounded up, without overflow near 2^32
        return L"MSG11";
    }
    if (number) *number = seconds;
    return L"MSG12";
}

std::wstring CountdownText(const std::wstring& format11, const std::wstring& format12, uint32_t seconds) {
    uint32_t number = 0;
    const bool minutes = CountdownTextKey(seconds, &number)[4] == L'1';
    const std::wstring value = std::to_wstring(number);
    return SafeFormat((minutes ? format11 : format12).c_str(), {value.c_str()});
}

std::wstring FormatRequestText(const std::wstring& format, const std::wstring& first, const std::wstring* second) {
    if (second) return SafeFormat(format.c_str(), {second->c_str(), first.c_str()});
    return SafeFormat(format.c_str(), {first.c_str()});
}

std::wstring FitRequestText(const std::wstring& format, const std::wstring& first, const std::wstring* second,
                            const std::function<bool(const std::wstring&)>& fits) {
    std::wstring text = FormatRequestText(format, first, second);
    if (fits(text) || first.empty()) return text;
    size_t keep = first.size() - 1;
    for (;;) {
        text = FormatRequestText(format, first.substr(0, keep) + L"...", second);
        if (fits(text) || keep == 0) return text;
        keep = keep > kFitStep ? keep - kFitStep : 0;
    }
}
