#include "safe_format.h"

#include <algorithm>
#include <cwchar>

std::wstring SafeFormat(const wchar_t* format, std::initializer_list<const wchar_t*> args) {
    std::wstring out;
    auto next = args.begin();
    for (const wchar_t* p = format ? format : L""; *p; ++p) {
        if (*p != L'%') {
            out += *p;
        } else if (p[1] == L's') {
            if (next != args.end()) {
                if (*next) out += *next;
                ++next;
            }
            ++p;
        } else if (p[1] == L'%') {
            out += L'%';
            ++p;
        } else {
            out += L'%';
        }
    }
    return out;
}

size_t SafeFormat(wchar_t* out, size_t outChars, const wchar_t* format,
                  std::initializer_list<const wchar_t*> args) {
    if (!out || !outChars) return 0;
    std::wstring text = SafeFormat(format, args);
    size_t n = std::min(text.size(), outChars - 1);
    wmemcpy(out, text.data(), n);
    out[n] = L'\0';
    return n;
}
