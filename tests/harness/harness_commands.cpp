#include "harness_commands.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "harness_registry.h"

namespace harness {

namespace {
// "key=value" with a key of letters, digits and underscores.
bool IsNamed(const std::string& word) {
    size_t eq = word.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    for (size_t i = 0; i < eq; ++i) {
        char c = word[i];
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    }
    return true;
}

std::mutex& OutputLock() {
    static std::mutex lock;
    return lock;
}
}  // namespace

std::map<std::string, CommandEntry>& Commands() {
    static std::map<std::string, CommandEntry> commands;
    return commands;
}

bool RegisterCommand(const char* name, const char* usage, CommandHandler handler) {
    Commands()[name] = CommandEntry{usage ? usage : "", handler};
    return true;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string JsonStringArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ",";
        out += JsonString(items[i]);
    }
    return out + "]";
}

std::string HexText(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

void JsonLine::Key(const char* key) {
    if (!first_) body_ += ",";
    first_ = false;
    body_ += JsonString(key);
    body_ += ":";
}

JsonLine& JsonLine::Add(const char* key, const std::string& value) {
    Key(key);
    body_ += JsonString(value);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, const char* value) { return Add(key, std::string(value ? value : "")); }

JsonLine& JsonLine::Add(const char* key, int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, uint64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::AddRaw(const char* key, const std::string& json) {
    Key(key);
    body_ += json;
    return *this;
}

void Emit(const JsonLine& line) {
    std::lock_guard<std::mutex> guard(OutputLock());
    std::string text = line.Text() + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::string Args::Get(const char* key, size_t index, const std::string& def) const {
    std::string prefix = std::string(key) + "=";
    for (const std::string& word : words) {
        if (IsNamed(word) && word.compare(0, prefix.size(), prefix) == 0) return word.substr(prefix.size());
    }
    // Positional words are those without "key=".
    size_t position = 0;
    for (const std::string& word : words) {
        if (IsNamed(word)) continue;
        if (position++ == index) return word;
    }
    return def;
}

int64_t Args::GetInt(const char* key, size_t index, int64_t def) const {
    std::string text = Get(key, index);
    if (text.empty()) return def;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 0);
    return (end && *end == '\0') ? value : def;
}

FARPROC Context::Ordinal(int ordinal) const {
    if (!library) return nullptr;
    return GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
}

Args SplitWords(const std::string& line, std::string* command) {
    Args args;
    size_t i = 0;
    std::vector<std::string> words;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string word;
        // A quoted text may also follow "key=": key="a b".
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            if (line[i] == '"') {
                size_t close = line.find('"', i + 1);
                if (close == std::string::npos) close = line.size();
                word += line.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    if (!words.empty()) {
        if (command) *command = words.front();
        words.erase(words.begin());
    }
    args.words = std::move(words);
    return args;
}

}  // namespace harness
