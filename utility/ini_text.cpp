#include "ini_text.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "safe_format.h"

int UnescapeText(wchar_t* text, size_t length) {
    if (!text) return 1;
    int lines = 1;
    size_t end = length;
    for (size_t i = 0; i + 1 < end && text[i]; ++i) {
        if (text[i] != L'\\') continue;
        if (text[i + 1] == L'n') {
            text[i] = L'\r';
            text[i + 1] = L'\n';
            ++lines;
            ++i;
        } else if (text[i + 1] == L't') {
            text[i] = L'\t';
            // Moves the rest (with its terminator, when inside `length`) left by one.
            wmemmove(text + i + 1, text + i + 2, end - i - 2);
            text[end - 1] = L'\0';
            --end;
        }
    }
    return lines;
}

std::wstring ReadIniValue(const wchar_t* iniPath, const wchar_t* section, const wchar_t* key,
                          size_t maxChars) {
    if (!iniPath || !section || !key) return {};
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD n = GetPrivateProfileStringW(section, key, L"", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), iniPath);
    return std::wstring(buffer.data(), n);
}

std::wstring IniText(const wchar_t* iniPath, const wchar_t* section, const wchar_t* key,
                     size_t maxChars) {
    std::wstring text = ReadIniValue(iniPath, section, key, maxChars);
    size_t length = text.size();
    text.push_back(L'\0');
    UnescapeText(text.data(), length);
    return std::wstring(text.c_str());
}

int LoadIniText(const wchar_t* iniPath, const wchar_t* section, const wchar_t* key,
                const wchar_t* argument, wchar_t* out, size_t outBytes) {
    size_t outChars = outBytes / sizeof(wchar_t);
    if (out && outBytes) memset(out, 0, outBytes);
    std::wstring raw = ReadIniValue(iniPath, section, key, 511);
    std::vector<wchar_t> buffer(raw.begin(), raw.end());
    buffer.push_back(L'\0');
    int lines = UnescapeText(buffer.data(), raw.size());
    if (!out || !outChars || raw.empty()) return lines;
    if (argument) {
        SafeFormat(out, outChars, buffer.data(), {argument});
    } else {
        SafeFormat(out, outChars, L"%s", {buffer.data()});
    }
    return lines;
}
