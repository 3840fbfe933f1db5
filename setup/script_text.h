// Reading the setup script: values of its INI files and their ";"-separated fields.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The value of [section] key, of at most maxChars characters; empty when missing.
inline std::string ReadIniValue(const char* ini, const std::string& section, const std::string& key,
                                size_t maxChars = 1023) {
    std::string value(maxChars + 1, '\0');
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value.data(),
                                       static_cast<DWORD>(value.size()), ini);
    value.resize(n);
    return value;
}

inline std::vector<std::string> SplitFields(const std::string& text, char delimiter = ';') {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t cut = text.find(delimiter, start);
        fields.push_back(text.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
        if (cut == std::string::npos) return fields;
        start = cut + 1;
    }
}

// Field index of text, empty when the text has fewer fields.
inline std::string FieldOf(const std::string& text, size_t index) {
    std::vector<std::string> fields = SplitFields(text);
    return index < fields.size() ? fields[index] : std::string();
}

// True when word stands inside text, compared without regard to case (ASCII letters).
inline bool ContainsNoCase(std::string text, std::string word) {
    auto upper = [](std::string& s) {
        for (char& ch : s) {
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        }
    };
    upper(text);
    upper(word);
    return !word.empty() && text.find(word) != std::string::npos;
}
