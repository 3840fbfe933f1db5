// The harness's command registry. Any source file of harness.exe adds commands with
//   HARNESS_COMMAND("name", "usage text", Handler);
// where Handler is  bool Handler(harness::Context&, const harness::Args&, harness::JsonLine& out).
// Handlers run on the harness's window thread (the thread that owns the client window and
// therefore the library's hidden windows), one at a time, in the order the lines arrived.
// Return true for success; add the result's fields to `out` ("error" for a failure text).
// Line formats: see the comment at the top of harness.cpp.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace harness {

// One JSON object written as one line: {"type":..., ...}. Keys keep their insertion order.
class JsonLine {
public:
    explicit JsonLine(const char* type) { Add("type", type); }
    JsonLine& Add(const char* key, const std::string& value);
    JsonLine& Add(const char* key, const char* value);
    JsonLine& Add(const char* key, int64_t value);
    JsonLine& Add(const char* key, int value) { return Add(key, static_cast<int64_t>(value)); }
    JsonLine& Add(const char* key, unsigned value) { return Add(key, static_cast<int64_t>(value)); }
    JsonLine& Add(const char* key, uint64_t value);
    JsonLine& Add(const char* key, bool value);
    // value must already be JSON (an array or object built by the caller).
    JsonLine& AddRaw(const char* key, const std::string& json);
    std::string Text() const { return body_ + "}"; }

private:
    void Key(const char* key);
    std::string body_ = "{";
    bool first_ = true;
};

// A JSON string literal of a text (bytes above 0x7F are taken as Latin-1).
std::string JsonString(const std::string& text);
// A JSON array of strings.
std::string JsonStringArray(const std::vector<std::string>& items);
// "0x..." text of a handle or pointer.
std::string HexText(uint64_t value);

// Writes one line to stdout and flushes it; safe from any thread.
void Emit(const JsonLine& line);

// The words of a command line after the command name. A word is either a run of non-blank
// characters or a double-quoted text (no escapes: Windows paths keep their backslashes).
struct Args {
    std::vector<std::string> words;
    size_t size() const { return words.size(); }
    // The value of "key=value" if given, else the positional word at index (if any), else def.
    std::string Get(const char* key, size_t index, const std::string& def = "") const;
    // The same, read as a number (decimal, or hexadecimal with 0x).
    int64_t GetInt(const char* key, size_t index, int64_t def = 0) const;
};

struct Context {
    HWND window = nullptr;       // the client window
    HMODULE library = nullptr;   // Pnxscapi.dll
    HWND service = nullptr;      // the service handle of the last registration

    // An export bound by its ordinal, as the utility binds them; null when absent.
    FARPROC Ordinal(int ordinal) const;
    template <typename F>
    F Bind(int ordinal) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(Ordinal(ordinal)));
    }
};

using CommandHandler = bool (*)(Context& ctx, const Args& args, JsonLine& out);

// The failure of a command whose export the library does not have.
inline bool Missing(JsonLine& out, int ordinal) {
    out.Add("error", "export missing").Add("ordinal", ordinal);
    return false;
}

// An export's 0/1 result as the command's "result"; the command succeeds when it is 1.
inline bool Result(JsonLine& out, int result) {
    out.Add("result", result);
    return result == 1;
}

bool RegisterCommand(const char* name, const char* usage, CommandHandler handler);

}  // namespace harness

#define HARNESS_CONCAT2(a, b) a##b
#define HARNESS_CONCAT(a, b) HARNESS_CONCAT2(a, b)
#define HARNESS_COMMAND(name, usage, handler)                                         \
    [[maybe_unused]] static const bool HARNESS_CONCAT(g_harnessCommand, __LINE__) = \
        ::harness::RegisterCommand(name, usage, handler)
