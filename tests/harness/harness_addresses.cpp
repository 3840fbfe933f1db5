#include "harness_addresses.h"

#include <cstdio>
#include <cstring>

namespace harness {

bool ParseDotted(const std::string& text, uint32_t* value) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 ||
        c > 255 || d > 255) {
        return false;
    }
    *value = (a << 24) | (b << 16) | (c << 8) | d;
    return true;
}

std::string DottedText(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", value >> 24, (value >> 16) & 255, (value >> 8) & 255, value & 255);
    return text;
}

std::string DottedNetworkText(uint32_t networkOrder) {
    uint8_t bytes[4];
    std::memcpy(bytes, &networkOrder, sizeof bytes);
    return DottedText((uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3]);
}

std::string HardwareText(const uint8_t* address) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", address[0], address[1], address[2], address[3],
                  address[4], address[5]);
    return text;
}

std::vector<std::string> Positional(const Args& args, size_t first) {
    std::vector<std::string> words;
    for (size_t i = first;; ++i) {
        std::string word = args.Get("\x01", i);  // a key no word has: positional only
        if (word.empty()) break;
        words.push_back(word);
    }
    return words;
}

}  // namespace harness
