#include "version_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kVersionTextBytes = 260;

// The whole version resource of a file; empty when it has none.
std::vector<BYTE> ReadVersionBlock(const char* file) {
    DWORD ignored = 0;
    DWORD size = file ? GetFileVersionInfoSizeA(file, &ignored) : 0;
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoA(file, 0, size, block.data())) block.clear();
    return block;
}

// A number of a version field as "%ld" reads it: leading blanks and a sign, then digits.
int32_t ReadField(const std::string& field, size_t* end) {
    const char* start = field.c_str();
    char* stop = nullptr;
    long long value = std::strtoll(start, &stop, 10);
    if (end) *end = static_cast<size_t>(stop - start);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// The suffix: what follows the field's leading digits and blanks.
void TakeSuffix(const std::string& field, char (&suffix)[16]) {
    size_t i = 0;
    while (i < field.size() && ((field[i] >= '0' && field[i] <= '9') || field[i] == ' ')) ++i;
    lstrcpynA(suffix, field.c_str() + i, sizeof suffix);
}

int CompareNumbers(int32_t a, int32_t b) { return a < b ? -1 : a > b ? 1 : 0; }

}  // namespace

int GetFileVersionString(char* buffer, const char* file, const char* name) {
    if (!buffer) return 0;
    buffer[0] = 0;
    std::vector<BYTE> block = ReadVersionBlock(file);
    if (block.empty() || !name) return block.empty() ? 0 : 1;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* pairs = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pairs), &bytes)) {
        return 1;
    }
    for (UINT i = 0; i < bytes / sizeof(Translation); ++i) {
        char query[128];
        std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%.64s", pairs[i].language, pairs[i].codePage,
                      name);
        char* value = nullptr;
        UINT chars = 0;
        // Each translation overwrites the answer: the last one decides.
        if (VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &chars) && value) {
            lstrcpynA(buffer, value, static_cast<int>(kVersionTextBytes));
        } else {
            buffer[0] = 0;
        }
    }
    return 1;
}

int GetFileVersionNumber(const char* file, const char* which, DWORD* number) {
    if (number) *number = 0;
    std::vector<BYTE> block = ReadVersionBlock(file);
    if (block.empty()) return 0;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &bytes) || !info ||
        bytes < sizeof *info) {
        return 0;
    }
    if (number && which) {
        if (lstrcmpiA(which, "FileVersionMS") == 0) *number = info->dwFileVersionMS;
        else if (lstrcmpiA(which, "FileVersionLS") == 0) *number = info->dwFileVersionLS;
    }
    return 1;
}

int ParseVersionString(VersionParts* parts, const char* text) {
    if (!parts) return 0;
    *parts = VersionParts{};
    if (!text) return 0;
    std::vector<std::string> fields;
    std::string copy(text);
    size_t start = 0;
    while (fields.size() < 3) {
        size_t dot = copy.find('.', start);
        fields.push_back(copy.substr(start, dot == std::string::npos ? dot : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    if (fields.size() >= 1) parts->first = ReadField(fields[0], nullptr);
    if (fields.size() >= 2) parts->second = ReadField(fields[1], nullptr);
    if (fields.size() >= 3) parts->third = ReadField(fields[2], nullptr);
    if (fields.size() >= 2) TakeSuffix(fields.back(), parts->suffix);
    return fields.size() == 3 ? 1 : 0;
}

int CompareVersionStrings(const char* a, const char* b) {
    VersionParts pa, pb;
    ParseVersionString(&pa, a);
    ParseVersionString(&pb, b);
    // Compared, not subtracted: fields near the ends of the range must not overflow.
    if (int c = CompareNumbers(pa.first, pb.first)) return c;
    if (int c = CompareNumbers(pa.second, pb.second)) return c;
    if (int c = CompareNumbers(pa.third, pb.third)) return c;
    return lstrcmpA(pa.suffix, pb.suffix);
}
