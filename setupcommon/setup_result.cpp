#include "setup_result.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kTexts[] = {
    "Successful.",
    "There is a mistake in the argument.",
    "The file does not exist.",
    "Is not a target OS.",
    "You do not have administrative privileges.",
    "I failed in the writing of the registry.",
    "I failed to get information from the registry.",
    "Old component.",
    "Component is the same.",
    "New component.",
    "Restart required.",
    "In connection.",
    "Component is not installed.",
    "Components are installed.",
    "I was unable to register the component.",
    "I could not remove the component.",
    "There is no corresponding process for this operation.",
    "Installation was successful, but we failed to restart service.",
    "Uninstallation was successful, but we failed to stop service.",
    "There is not enough memory.",
};

}  // namespace

int GetResultText(uint32_t code, char* buffer, size_t size) {
    if (!buffer) return 0;
    char number[16];
    const char* text = kTexts[0];
    if (code < sizeof kTexts / sizeof kTexts[0]) {
        text = kTexts[code];
    } else {
        std::snprintf(number, sizeof number, "%d", static_cast<int>(code));
        text = number;
    }
    if (std::strlen(text) >= size) return 0;
    std::strcpy(buffer, text);
    return 1;
}

ThreePartVersion ParseThreePartVersion(const char* text) {
    ThreePartVersion v;
    uint32_t* parts[] = {&v.first, &v.second, &v.third};
    const char* p = text ? text : "";
    for (uint32_t* part : parts) {
        while (*p == ' ') ++p;
        uint64_t n = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            if (n < 0xFFFFFFFFull) n = n * 10 + static_cast<uint64_t>(*p - '0');
        }
        *part = n > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
        while (*p && *p != '.') ++p;
        if (*p != '.') break;
        ++p;
    }
    return v;
}

int CompareThreePartVersions(const ThreePartVersion& a, const ThreePartVersion& b) {
    // Part by part: a weighted sum would let 2.0.15 pass 2.1.0 and make 1.10.0 equal 2.0.0.
    if (a.first != b.first) return a.first < b.first ? -1 : 1;
    if (a.second != b.second) return a.second < b.second ? -1 : 1;
    if (a.third != b.third) return a.third < b.third ? -1 : 1;
    return 0;
}

uint32_t VersionCheckResult(const ThreePartVersion& installed, const ThreePartVersion& offered) {
    int c = CompareThreePartVersions(installed, offered);
    return c > 0 ? kSetupNewerInstalled : c < 0 ? kSetupOlderInstalled : kSetupSameInstalled;
}
