#include "os_ini_key.h"

#include "ini_text.h"
#include "os_info.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kValueChars = 260;
constexpr size_t kTableKeyChars = 122;
constexpr int kMaxTableRows = 100;

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> Split(const std::string& text, char delimiter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(delimiter, start);
        parts.push_back(Trim(text.substr(start, at == std::string::npos ? at : at - start)));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// One "KEY:word,word" entry; false when it has no colon or no key.
bool SplitEntry(const std::string& entry, std::string& key, std::vector<std::string>& words) {
    size_t colon = entry.find(':');
    if (colon == std::string::npos) return false;
    key = Trim(entry.substr(0, colon));
    words = Split(entry.substr(colon + 1), ',');
    return !key.empty();
}

std::string ReadValue(const char* iniPath, const char* section, const char* key) {
    char value[kValueChars + 1] = "";
    GetPrivateProfileStringA(section, key, "", value, sizeof value, iniPath);
    return value;
}

void Store(char* buffer, size_t size, const std::string& key) { lstrcpynA(buffer, key.c_str(), static_cast<int>(size)); }

std::string OsWord(int code, uint32_t flags) {
    char word[16] = "";
    return GetOsKeyWord(code, flags, word, sizeof word) ? word : "";
}

// The highest service pack a release had; a recorded number above it matches every "_SP" word.
uint32_t HighestServicePack(const std::string& word) {
    if (word == "2K") return 4;
    if (word == "XP") return 3;
    if (word == "XPX64") return 2;
    return 1;
}

bool MatchesWithServicePack(const std::string& listed, const std::string& word, uint32_t servicePack) {
    if (lstrcmpiA(listed.c_str(), word.c_str()) == 0) return true;
    std::string prefix = word + "_SP";
    if (listed.compare(0, prefix.size(), prefix) != 0 || listed.size() == prefix.size()) return false;
    uint32_t number = 0;
    for (size_t i = prefix.size(); i < listed.size(); ++i) {
        if (listed[i] < '0' || listed[i] > '9') return false;
        if (number < 100000) number = number * 10 + (listed[i] - '0');
    }
    return number == servicePack || servicePack > HighestServicePack(word);
}

}  // namespace

bool GetOsIniKeyFromSection(const char* iniPath, int code, uint32_t flags, const char* section, char* buffer,
                            size_t size) {
    std::string value = ReadValue(iniPath, section, "OS");
    if (value.empty() || code < 1 || code > 17) return false;
    std::string word = OsWord(code, flags);
    uint32_t servicePack = RecordedOsVersionValues().servicePack;
    bool found = false;
    for (const std::string& entry : Split(value, ';')) {
        std::string key;
        std::vector<std::string> words;
        if (!SplitEntry(entry, key, words)) continue;
        for (const std::string& listed : words) {
            if (code <= 4) {
                // The old releases take the first entry that lists them.
                if (lstrcmpiA(listed.c_str(), word.c_str()) == 0) {
                    Store(buffer, size, key);
                    return true;
                }
            } else if (MatchesWithServicePack(listed, word, servicePack)) {
                Store(buffer, size, key);  // later entries overwrite: the last match wins
                found = true;
                break;
            }
        }
    }
    return found && buffer[0] != 0;
}

bool GetOsIniKeyFromTable(const char* iniPath, int code, uint32_t flags, const char* section, char* buffer,
                          size_t size) {
    std::string word = OsWord(code, flags);
    if (word.empty()) return false;
    for (int row = 0; row < kMaxTableRows; ++row) {
        std::string value = ReadValue(iniPath, section, IniListKey("OS_%02d", row).c_str());
        if (value.empty()) return false;
        std::string key;
        std::vector<std::string> words;
        if (!SplitEntry(value, key, words) || key.size() > kTableKeyChars) continue;
        for (const std::string& listed : words) {
            if (lstrcmpiA(listed.c_str(), word.c_str()) == 0) {
                Store(buffer, size, key);
                return true;
            }
        }
    }
    return false;
}

void GetOsIniKey(const char* iniPath, int code, uint32_t flags, const char* section, char* buffer, size_t size) {
    if (!iniPath || !*iniPath || !section || !*section || !buffer || size == 0) return;
    buffer[0] = 0;
    if (!GetOsIniKeyFromSection(iniPath, code, flags, section, buffer, size)) {
        buffer[0] = 0;
        GetOsIniKeyFromTable(iniPath, code, flags, section, buffer, size);
    }
}
