#include "command_line.h"

#include <winsock2.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

void ParseCommandLine(const char* commandLine, CommandLineOptions* options) {
    if (!commandLine || !options) return;
    const char* p = std::strchr(commandLine, '-');
    while (p) {
        const char* rest = p + 2;  // text after the switch letter
        switch (std::tolower(static_cast<unsigned char>(p[1]))) {
            case 'd': {
                // Only this switch's own word: "-dlog -m" must not read the next switch.
                char word[64] = {};
                size_t n = std::strcspn(p, " ");
                if (n >= sizeof word) n = sizeof word - 1;
                std::memcpy(word, p, n);
                ParseDebugSwitch(word, &options->log);
                break;
            }
            case 'e':
                if (p[1] && std::strlen(rest) >= 17 && options->macCount < kFilterMaxEntries) {
                    std::memcpy(options->macBlock + options->macCount * kFilterSlotBytes, rest, 17);
                    ++options->macCount;
                    options->filterInUse = true;
                }
                break;
            case 'i':
                if (p[1] && *rest && *rest != ' ') {
                    char text[64] = {};
                    size_t n = std::strcspn(rest, " ");
                    if (n >= sizeof text) n = sizeof text - 1;
                    std::memcpy(text, rest, n);
                    options->filterInUse = true;
                    options->hasFilterAddress = true;
                    options->filterAddress = inet_addr(text);
                }
                break;
            case 'm':
                options->showMainDialog = true;
                break;
            case 'p':
                options->showServiceWindow = true;
                break;
            case 's':
                if (p[1] && std::isdigit(static_cast<unsigned char>(*rest))) {
                    options->startDelaySeconds = static_cast<uint32_t>(std::strtoul(rest, nullptr, 10));
                }
                break;
            default:
                break;
        }
        if (!p[1]) break;
        p = std::strstr(p + 1, " -");
        if (p) ++p;
    }
}
