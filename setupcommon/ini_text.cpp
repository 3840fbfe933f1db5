#include "ini_text.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kIniValueChars = 1024;
constexpr DWORD kListValueChars = 260;
constexpr int kMaxListEntries = 100000;

std::string ReadIniValue(const char* iniPath, const char* section, const char* key, DWORD chars) {
    std::vector<char> value(chars + 1);
    DWORD n = GetPrivateProfileStringA(section, key, "", value.data(), chars + 1, iniPath);
    return std::string(value.data(), n);
}

}  // namespace

int ExpandEscapes(char* text, size_t length) {
    if (!text) return 0;
    int lines = 1;
    size_t in = 0, out = 0;
    while (in < length && text[in]) {
        if (text[in] == '\\' && in + 1 < length && text[in + 1] == 'n') {
            text[out++] = '\r';
            text[out++] = '\n';
            in += 2;
            ++lines;
        } else if (text[in] == '\\' && in + 1 < length && text[in + 1] == 't') {
            text[out++] = '\t';
            in += 2;
        } else {
            text[out++] = text[in++];
        }
    }
    if (out < in) text[out] = 0;  // the text got shorter: end it where it ends now
    return lines;
}

std::string GetIniString(const char* iniPath, const char* section, const char* key, FormatArg argument,
                         size_t maxChars) {
    if (!key || !*key || !iniPath) return {};
    std::string value = ReadIniValue(iniPath, section, key, static_cast<DWORD>(maxChars));
    if (value.empty()) return {};
    ExpandEscapes(value.data(), value.size());
    value.resize(std::strlen(value.c_str()));
    return argument.present() ? qz::SafeFormat(value.c_str(), argument) : value;
}

int GetIniText(const char* iniPath, const char* section, const char* key, FormatArg argument, char* buffer,
               size_t size) {
    if (buffer && size) std::memset(buffer, 0, size);
    if (!key || !*key || !iniPath) return 0;
    std::string value = ReadIniValue(iniPath, section, key, kIniValueChars);
    if (value.empty()) return 0;
    int lines = ExpandEscapes(value.data(), value.size());
    value.resize(std::strlen(value.c_str()));
    if (!buffer || !size) return lines;
    if (argument.present()) {
        qz::SafeFormat(buffer, size, value.c_str(), argument);
    } else {
        lstrcpynA(buffer, value.c_str(), static_cast<int>(size));
    }
    return lines;
}

std::string IniListKey(const char* keyFormat, int number) {
    return qz::SafeFormat(keyFormat ? keyFormat : "", FormatArg(number));
}

int AppendIniListValue(const char* section, const char* keyFormat, const char* value, const char* iniPath) {
    if (!section || !keyFormat || !value || !iniPath) return 0;
    for (int i = 0; i < kMaxListEntries; ++i) {
        std::string key = IniListKey(keyFormat, i);
        std::string stored = ReadIniValue(iniPath, section, key.c_str(), kListValueChars);
        if (stored.empty()) return WritePrivateProfileStringA(section, key.c_str(), value, iniPath) ? 1 : 0;
        if (lstrcmpiA(stored.c_str(), value) == 0) return 1;
    }
    return 0;
}

int WriteIniIndexedValue(const char* section, int first, int second, const char* keyFormat, const char* value,
                         const char* iniPath) {
    if (!keyFormat) return 0;
    char key[256];
    std::snprintf(key, sizeof key, keyFormat, first, second);
    return WritePrivateProfileStringA(section, key, value, iniPath) ? 1 : 0;
}

char* GetToken(char* text, const char* delimiter, int maxFields, int index) {
    if (!text || !*text || !delimiter || !*delimiter || index < 0 || index >= maxFields) return nullptr;
    size_t delimLen = std::strlen(delimiter);
    char* field = text;
    for (int i = 0; i < index; ++i) {
        char* next = std::strstr(field, delimiter);
        if (!next) return nullptr;
        field = next + delimLen;
    }
    if (char* end = std::strstr(field, delimiter)) *end = 0;
    if (!*field && index != 0) return nullptr;
    return field;
}

DWORD ParseNumber(const char* text, int base) {
    constexpr DWORD kInvalid = 0xFFFFFFFF;
    if (!text || !*text || base < 1) return kInvalid;
    DWORD value = 0;
    for (const char* p = text; *p; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9') digit = *p - '0';
        else if (*p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
        else return kInvalid;
        if (digit >= base) return kInvalid;
        value = value * static_cast<DWORD>(base) + static_cast<DWORD>(digit);
    }
    return value;
}

size_t EscapeAmpersands(char* out, size_t outSize, const char* text, bool doubled) {
    if (!out || outSize == 0) return 0;
    size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 >= outSize) return false;
        out[n++] = c;
        return true;
    };
    for (const char* p = text; p && *p; ++p) {
        if (*p != '&') {
            if (!put(*p)) break;
            continue;
        }
        if (doubled) {
            if (n + 2 >= outSize) break;  // never half of a pair
            put('&');
            put('&');
        } else {
            if (!put('&')) break;
            if (p[1] == '&') ++p;
        }
    }
    out[n] = 0;
    return n;
}
