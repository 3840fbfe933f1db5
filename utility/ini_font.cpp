#include "ini_font.h"

#include <cwchar>
#include <vector>

#include "ini_text.h"

namespace {

struct NamedValue {
    const wchar_t* name;
    int value;
};

constexpr NamedValue kCharSets[] = {
    {L"DEFAULT", 1},      {L"ANSI", 0},        {L"SYMBOL", 2},      {L"SHIFTJIS", 128},
    {L"HANGEUL", 129},    {L"GB2312", 134},    {L"CHINESEBIG5", 136}, {L"OEM", 255},
    {L"JOHAB", 130},      {L"HEBREW", 177},    {L"ARABIC", 178},    {L"GREEK", 161},
    {L"TURKISH", 162},    {L"VIETNAMESE", 163}, {L"THAI", 222},     {L"EASTEUROPE", 238},
    {L"RUSSIAN", 204},    {L"MAC", 77},        {L"BALTIC", 186},
};

constexpr NamedValue kWeights[] = {
    {L"DONTCARE", 0},   {L"THIN", 100},     {L"EXTRALIGHT", 200}, {L"ULTRALIGHT", 200},
    {L"LIGHT", 300},    {L"NORMAL", 400},   {L"REGULAR", 400},    {L"MEDIUM", 500},
    {L"SEMIBOLD", 600}, {L"DEMIBOLD", 600}, {L"BOLD", 700},       {L"EXTRABOLD", 800},
    {L"ULTRABOLD", 800}, {L"HEAVY", 900},   {L"BLACK", 900},
};

template <size_t N>
bool Lookup(const NamedValue (&table)[N], const std::wstring& name, int* value) {
    for (const auto& row : table) {
        if (name == row.name) {
            *value = row.value;
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> SplitFields(const std::wstring& value) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    while (true) {
        size_t comma = value.find(L',', start);
        fields.push_back(value.substr(start, comma - start));
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    return fields;
}

}  // namespace

bool ParseIniFontSpec(const std::wstring& value, IniFontSpec* spec) {
    if (value.empty()) return false;
    std::vector<std::wstring> fields = SplitFields(value);
    if (fields.size() < 3) return false;
    spec->face = fields[0].substr(0, LF_FACESIZE - 1);
    spec->size = static_cast<int>(wcstol(fields[1].c_str(), nullptr, 10));
    int charSet = DEFAULT_CHARSET;
    Lookup(kCharSets, fields[2], &charSet);
    spec->charSet = static_cast<BYTE>(charSet);
    spec->weight = FW_DONTCARE;
    if (fields.size() > 3) Lookup(kWeights, fields[3], &spec->weight);
    spec->underline = fields.size() > 4 && fields[4] == L"UNDERLINE";
    return true;
}

HFONT CreateIniFont(const wchar_t* key, const wchar_t* iniPath) {
    IniFontSpec spec;
    if (!ParseIniFontSpec(ReadIniValue(iniPath, L"FONT", key, 127), &spec)) return nullptr;
    return CreateFontW(-spec.size, 0, 0, 0, spec.weight, FALSE, spec.underline, FALSE, spec.charSet,
                       0, 0, 0, 0, spec.face.c_str());
}
