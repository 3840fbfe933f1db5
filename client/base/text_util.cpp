#include "text_util.h"

#include <windows.h>
#include <cstdio>
#include <cstring>
#include <memory>

#include "win_handles.h"

wchar_t* Utf8ToWideAlloc(const char* text) {
    if (!text) return nullptr;
    int chars = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (chars <= 0) return nullptr;
    qz::HeapBlock block(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<size_t>(chars) * sizeof(wchar_t)));
    if (!block || MultiByteToWideChar(CP_UTF8, 0, text, -1, static_cast<wchar_t*>(block.get()), chars) <= 0) {
        return nullptr;
    }
    return static_cast<wchar_t*>(block.release());
}

namespace {

// Value of a hexadecimal digit, -1 for any other character.
int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

long ParseNumber(const char* text, int base) {
    if (!text || base <= 0) return -1;
    // Unsigned arithmetic: "FFFFFFFF" (an address read as hexadecimal) must wrap, not overflow.
    unsigned long value = 0;
    for (const char* p = text; *p; ++p) {
        int digit = HexDigitValue(*p);
        if (digit < 0) return -1;
        if (digit >= base) break;
        value = value * static_cast<unsigned long>(base) + static_cast<unsigned long>(digit);
    }
    return static_cast<long>(value);
}

size_t ReplaceHeapString(char** target, const char* source, size_t n) {
    if (!target || !source || n == 0) return 0;
    // Allocate before freeing, so a failed allocation leaves the old string in place.
    qz::HeapBlock copy(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, n + 1));
    if (!copy) return 0;
    std::memcpy(copy.get(), source, n);
    qz::HeapBlock old(*target);  // freed on return
    *target = static_cast<char*>(copy.release());
    return n;
}

size_t FormatU16Run(const void* input, size_t inputBytes, size_t step, const char* format,
                    char* out, size_t outCapacity) {
    if (!out || outCapacity == 0) return 0;
    out[0] = '\0';
    if (!input || !format || step == 0) return 0;
    const auto* bytes = static_cast<const uint8_t*>(input);
    const size_t stride = step == 1 ? 2 : step * step;
    size_t written = 0;  // characters of valid text in out
    size_t outPos = 0;   // where the next value starts
    for (size_t inPos = 0; inPos + 2 <= inputBytes; inPos += step, outPos += stride) {
        if (outPos >= outCapacity) break;
        // Gaps left by a stride wider than the printed value are blanks, so the text stays
        // one string.
        for (size_t i = written; i < outPos; ++i) out[i] = ' ';
        unsigned value = (unsigned(bytes[inPos]) << 8) | bytes[inPos + 1];
        int n = std::snprintf(out + outPos, outCapacity - outPos, format, value);
        if (n < 0 || static_cast<size_t>(n) >= outCapacity - outPos) {
            // The value does not fit whole: drop the partial text.
            out[written] = '\0';
            break;
        }
        written = outPos + static_cast<size_t>(n);
    }
    return written;
}

size_t HexTextToBytes(const char* text, size_t textLength, uint8_t* out, size_t outCapacity) {
    if (!text || !out) return 0;
    size_t count = 0;
    for (size_t i = 0; i + 1 < textLength && count < outCapacity; i += 2) {
        int high = HexDigitValue(text[i]);
        if (high < 0) break;
        int low = HexDigitValue(text[i + 1]);
        if (low < 0) break;
        out[count++] = static_cast<uint8_t>((high << 4) | low);
    }
    return count;
}

int FormatAddressText(int kind, const void* address, char* out, size_t capacity) {
    if (!address || !out) return 0;
    const auto* b = static_cast<const uint8_t*>(address);
    char text[32];
    int n;
    if (kind == kAddressHardware) {
        n = std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2],
                          b[3], b[4], b[5]);
    } else if (kind == kAddressIpv4) {
        n = std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    } else {
        return 0;
    }
    if (n < 0 || static_cast<size_t>(n) + 1 > capacity) return 0;
    std::memcpy(out, text, static_cast<size_t>(n) + 1);
    return 1;
}

std::string HardwareAddressText(const uint8_t address[6]) {
    char text[32] = "";
    FormatAddressText(kAddressHardware, address, text, sizeof text);
    return text;
}

std::string Ipv4Text(uint32_t networkOrderAddress) {
    char text[32] = "";
    FormatAddressText(kAddressIpv4, &networkOrderAddress, text, sizeof text);
    return text;
}

bool CopyIfFits(std::string_view text, char* out, size_t capacity) {
    if (!out || text.size() + 1 > capacity) return false;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return true;
}

void CopyCut(std::string_view text, char* out, size_t capacity) {
    if (!out || capacity == 0) return;
    size_t n = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}
