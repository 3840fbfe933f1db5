#include "font_util.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct NamedValue {
    const char* name;
    int value;
};

const NamedValue kCharsets[] = {
    {"DEFAULT", 1},    {"ANSI", 0},       {"SYMBOL", 2},      {"SHIFTJIS", 128},
    {"HANGEUL", 129},  {"GB2312", 134},   {"CHINESEBIG5", 136}, {"OEM", 255},
    {"JOHAB", 130},    {"HEBREW", 177},   {"ARABIC", 178},    {"GREEK", 161},
    {"TURKISH", 162},  {"VIETNAMESE", 163}, {"THAI", 222},    {"EASTEUROPE", 238},
    {"RUSSIAN", 204},  {"MAC", 77},       {"BALTIC", 186},
};

const NamedValue kWeights[] = {
    {"DONTCARE", 0},   {"THIN", 100},      {"EXTRALIGHT", 200}, {"ULTRALIGHT", 200},
    {"LIGHT", 300},    {"NORMAL", 400},    {"REGULAR", 400},    {"MEDIUM", 500},
    {"SEMIBOLD", 600}, {"DEMIBOLD", 600},  {"BOLD", 700},       {"EXTRABOLD", 800},
    {"ULTRABOLD", 800}, {"HEAVY", 900},    {"BLACK", 900},
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        size_t comma = text.find(',');
        fields.push_back(Trim(text.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return fields;
}

// Value of a name in a table (any case); 0 for an unknown name.
template <size_t N>
int LookUp(const NamedValue (&table)[N], std::string_view name) {
    for (const NamedValue& entry : table) {
        if (name.size() == std::strlen(entry.name) &&
            _strnicmp(name.data(), entry.name, name.size()) == 0) {
            return entry.value;
        }
    }
    return 0;
}

bool ParseSize(std::string_view text, LONG* size) {
    if (text.empty() || text.size() > 6) return false;
    LONG value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    *size = value;
    return true;
}

}  // namespace

bool ParseFontText(const char* text, LOGFONTA* out) {
    if (!text || !out) return false;
    std::vector<std::string_view> fields = SplitFields(text);
    if (fields.size() < 3) return false;
    std::string_view face = fields[0];
    LONG size = 0;
    if (face.empty() || face.size() >= LF_FACESIZE || !ParseSize(fields[1], &size) ||
        fields[2].empty()) {
        return false;
    }
    LOGFONTA font{};
    std::memcpy(font.lfFaceName, face.data(), face.size());
    font.lfHeight = -size;
    font.lfCharSet = static_cast<BYTE>(LookUp(kCharsets, fields[2]));
    if (fields.size() > 3) font.lfWeight = LookUp(kWeights, fields[3]);
    *out = font;
    return true;
}

HFONT FontFromText(const char* text) {
    LOGFONTA font;
    if (!ParseFontText(text, &font)) return nullptr;
    return CreateFontIndirectA(&font);
}
