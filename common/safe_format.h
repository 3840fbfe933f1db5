// Formatting of texts that come from INI files with one caller-supplied argument. The text is
// data, not code: it is never handed to a printf-style function as a format. The first
// conversion ("%s", "%d", "%-5u", "%lX", ...) is replaced by the argument, "%%" becomes "%",
// and every other "%" is copied as it stands. The output is bounded by the buffer and always
// terminated. Narrow and wide callers share this one implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace qz {

// The one argument of a formatted INI text: none, a text, or a number.
template <typename Ch>
struct BasicFormatArg {
    enum class Kind { None, Text, Number };
    Kind kind = Kind::None;
    const Ch* text = nullptr;
    long long number = 0;

    BasicFormatArg() = default;
    BasicFormatArg(std::nullptr_t) {}
    BasicFormatArg(const Ch* t) : kind(t ? Kind::Text : Kind::None), text(t) {}
    BasicFormatArg(int n) : kind(Kind::Number), number(n) {}
    BasicFormatArg(unsigned n) : kind(Kind::Number), number(n) {}
    BasicFormatArg(long n) : kind(Kind::Number), number(n) {}
    BasicFormatArg(unsigned long n) : kind(Kind::Number), number(static_cast<long long>(n)) {}
    BasicFormatArg(long long n) : kind(Kind::Number), number(n) {}
    bool present() const { return kind != Kind::None; }
};
using FormatArg = BasicFormatArg<char>;
using FormatArgW = BasicFormatArg<wchar_t>;

namespace detail {

// One parsed conversion: flags, width and precision are kept for the argument's own output.
struct ConversionSpec {
    bool leftAlign = false;
    bool zeroPad = false;
    bool plus = false;
    int width = 0;
    int precision = -1;
    char type = 0;
    size_t length = 0;  // characters of the conversion in the text, "%" included
};

template <typename Ch>
bool ParseConversion(const Ch* p, ConversionSpec& spec) {
    size_t i = 1;
    for (;; ++i) {
        if (p[i] == '-') spec.leftAlign = true;
        else if (p[i] == '0') spec.zeroPad = true;
        else if (p[i] == '+') spec.plus = true;
        else if (p[i] == ' ' || p[i] == '#') continue;
        else break;
    }
    for (; p[i] >= '0' && p[i] <= '9'; ++i) {
        if (spec.width < 4096) spec.width = spec.width * 10 + (p[i] - '0');
    }
    if (p[i] == '.') {
        spec.precision = 0;
        for (++i; p[i] >= '0' && p[i] <= '9'; ++i) {
            if (spec.precision < 4096) spec.precision = spec.precision * 10 + (p[i] - '0');
        }
    }
    if (p[i] == 'I' && p[i + 1] == '6' && p[i + 2] == '4') i += 3;
    else {
        while (p[i] == 'h' || p[i] == 'l') ++i;
    }
    switch (p[i]) {
    case 's': case 'S': case 'c': case 'C': case 'd': case 'i': case 'u': case 'x': case 'X':
        spec.type = static_cast<char>(p[i] | 0x20) == 's' ? 's' : static_cast<char>(p[i]);
        if (spec.type == 'C') spec.type = 'c';
        spec.length = i + 1;
        return true;
    default:
        return false;
    }
}

template <typename Ch>
std::basic_string<Ch> Widen(const char* s) {
    std::basic_string<Ch> out;
    for (; *s; ++s) out.push_back(static_cast<Ch>(static_cast<unsigned char>(*s)));
    return out;
}

// The argument's text for one conversion, padded to its width.
template <typename Ch>
std::basic_string<Ch> RenderArgument(const ConversionSpec& spec, const BasicFormatArg<Ch>& arg) {
    std::basic_string<Ch> body;
    bool numeric = false;
    if (spec.type == 's' || spec.type == 'c') {
        if (arg.kind == BasicFormatArg<Ch>::Kind::Text) {
            body = arg.text;
            if (spec.type == 'c') body = body.substr(0, 1);
        } else if (spec.type == 'c') {
            body.push_back(static_cast<Ch>(arg.number));
        } else {
            body = Widen<Ch>(std::to_string(arg.number).c_str());
        }
        if (spec.precision >= 0 && body.size() > static_cast<size_t>(spec.precision)) body.resize(spec.precision);
    } else {
        numeric = true;
        long long n = arg.kind == BasicFormatArg<Ch>::Kind::Number ? arg.number : 0;
        char digits[40];
        if (spec.type == 'd' || spec.type == 'i') {
            std::snprintf(digits, sizeof digits, spec.plus ? "%+lld" : "%lld", n);
        } else {
            // Unsigned conversions show the 32-bit pattern, as the Windows formatter does.
            unsigned long long u = static_cast<uint32_t>(n);
            std::snprintf(digits, sizeof digits, spec.type == 'u' ? "%llu" : spec.type == 'x' ? "%llx" : "%llX", u);
        }
        body = Widen<Ch>(digits);
        if (arg.kind == BasicFormatArg<Ch>::Kind::Text) body = arg.text;  // a text where a number was asked
    }
    if (body.size() < static_cast<size_t>(spec.width)) {
        size_t pad = spec.width - body.size();
        if (spec.leftAlign) body.append(pad, ' ');
        else if (numeric && spec.zeroPad) {
            size_t sign = (!body.empty() && (body[0] == '-' || body[0] == '+')) ? 1 : 0;
            body.insert(sign, pad, '0');
        } else body.insert(0, pad, ' ');
    }
    return body;
}

}  // namespace detail

// Formats `format` with `arg` into out[capacity]; returns the characters written (without the
// terminator). A null or empty format gives an empty text; capacity 0 writes nothing.
template <typename Ch>
size_t SafeFormat(Ch* out, size_t capacity, const Ch* format, const BasicFormatArg<Ch>& arg) {
    if (!out || capacity == 0) return 0;
    size_t n = 0;
    auto put = [&](Ch c) {
        if (n + 1 < capacity) out[n++] = c;
    };
    bool used = false;
    for (const Ch* p = format; p && *p;) {
        if (*p != '%') {
            put(*p++);
            continue;
        }
        if (p[1] == '%') {
            put('%');
            p += 2;
            continue;
        }
        detail::ConversionSpec spec;
        if (!used && arg.present() && detail::ParseConversion(p, spec)) {
            for (Ch c : detail::RenderArgument(spec, arg)) put(c);
            used = true;
            p += spec.length;
            continue;
        }
        put(*p++);
    }
    out[n] = 0;
    return n;
}

template <typename Ch>
std::basic_string<Ch> SafeFormat(const Ch* format, const BasicFormatArg<Ch>& arg) {
    size_t cap = 1;
    for (const Ch* p = format; p && *p; ++p) ++cap;
    if (arg.kind == BasicFormatArg<Ch>::Kind::Text) {
        for (const Ch* p = arg.text; *p; ++p) ++cap;
    }
    cap += 4096 + 64;  // widths are capped at 4096 by the parser
    std::basic_string<Ch> out(cap, Ch(0));
    out.resize(SafeFormat(out.data(), cap, format, arg));
    return out;
}

}  // namespace qz
