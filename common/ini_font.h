// Font descriptions of the message INI files: "face,size,charset[,weight[,UNDERLINE]]". The
// name tables and the field rules are shared by the install tools (narrow) and the utility
// (wide); each creates the font with its own CreateFont.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz {

struct IniFontSpec {
    std::string face;  // narrow bytes as read; the wide caller converts
    int height = 0;    // negative: a character height in logical units
    uint8_t charset = 1;
    int weight = 0;
    bool underline = false;
};

namespace detail {
template <typename Ch>
bool EqualsAscii(const Ch* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (static_cast<unsigned>(*a) != static_cast<unsigned char>(*b)) return false;
    }
    return *a == 0 && *b == 0;
}
}  // namespace detail

// Character-set value of a name (case-sensitive); unknown names give DEFAULT_CHARSET (1).
template <typename Ch>
uint8_t IniFontCharset(const Ch* name) {
    static const struct { const char* name; uint8_t value; } kSets[] = {
        {"DEFAULT", 1},     {"ANSI", 0},     {"SYMBOL", 2},    {"SHIFTJIS", 128}, {"HANGEUL", 129},
        {"GB2312", 134},    {"CHINESEBIG5", 136}, {"OEM", 255}, {"JOHAB", 130},   {"HEBREW", 177},
        {"ARABIC", 178},    {"GREEK", 161},  {"TURKISH", 162}, {"VIETNAMESE", 163}, {"THAI", 222},
        {"EASTEUROPE", 238}, {"RUSSIAN", 204}, {"MAC", 77},    {"BALTIC", 186}};
    for (const auto& s : kSets) {
        if (detail::EqualsAscii(name, s.name)) return s.value;
    }
    return 1;
}

// Weight of a name (case-sensitive); unknown names give 0 (don't care).
template <typename Ch>
int IniFontWeight(const Ch* name) {
    static const struct { const char* name; int value; } kWeights[] = {
        {"DONTCARE", 0},   {"THIN", 100},     {"EXTRALIGHT", 200}, {"ULTRALIGHT", 200}, {"LIGHT", 300},
        {"NORMAL", 400},   {"REGULAR", 400},  {"MEDIUM", 500},     {"SEMIBOLD", 600},   {"DEMIBOLD", 600},
        {"BOLD", 700},     {"EXTRABOLD", 800}, {"ULTRABOLD", 800}, {"HEAVY", 900},      {"BLACK", 900}};
    for (const auto& w : kWeights) {
        if (detail::EqualsAscii(name, w.name)) return w.value;
    }
    return 0;
}

// Splits a description into its fields; false when it has fewer than three.
template <typename Ch>
bool ParseIniFontSpec(const std::basic_string<Ch>& text, IniFontSpec& spec, std::basic_string<Ch>* face = nullptr) {
    std::vector<std::basic_string<Ch>> fields;
    size_t start = 0;
    while (fields.size() < 5) {
        size_t comma = text.find(Ch(','), start);
        std::basic_string<Ch> f = text.substr(start, comma == std::basic_string<Ch>::npos ? comma : comma - start);
        if (f.empty()) break;  // an empty field ends the description
        fields.push_back(f);
        if (comma == std::basic_string<Ch>::npos) break;
        start = comma + 1;
    }
    if (fields.size() < 3) return false;
    long size = 0;
    for (Ch c : fields[1]) {
        if (c < '0' || c > '9') break;
        if (size < 100000) size = size * 10 + (c - '0');
    }
    spec = IniFontSpec{};
    spec.face.clear();
    for (Ch c : fields[0]) spec.face.push_back(static_cast<char>(c));
    if (face) *face = fields[0];
    spec.height = -static_cast<int>(size);
    spec.charset = IniFontCharset(fields[2].c_str());
    spec.weight = fields.size() > 3 ? IniFontWeight(fields[3].c_str()) : 0;
    spec.underline = fields.size() > 4 && detail::EqualsAscii(fields[4].c_str(), "UNDERLINE");
    return true;
}

}  // namespace qz
