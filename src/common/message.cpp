#include "common/message.h"

namespace hushnote {
namespace {

constexpr char kHex[] = "0123456789abcdef";

// The length of the UTF-8 sequence at s[0] and its code point, or 0 when the
// bytes there are not one.
std::size_t Utf8Sequence(std::string_view s, char32_t& cp) {
    const auto b = static_cast<unsigned char>(s[0]);
    const std::size_t n = b < 0x80                ? 1
                          : b >= 0xC2 && b < 0xE0 ? 2
                          : b >= 0xE0 && b < 0xF0 ? 3
                          : b >= 0xF0 && b < 0xF5 ? 4
                                                  : 0;
    if (n == 0 || n > s.size()) {
        return 0;
    }
    cp = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and what lies beyond Unicode are no text.
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) {
        return 0;
    }
    return n;
}

// C1 controls, which some terminals obey; the controls that reorder text on
// screen, which can make "invoice\u202etxt.exe" read as a text file; and the
// line and paragraph separators, at which the window's boxes break a line, so
// that a name could fake one.
bool ActsOnDisplay(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
           cp == 0x2028 || cp == 0x2029 || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

void AppendHex(std::string& out, unsigned value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 15];
    }
}

} // namespace

std::string EscapedPath(std::string_view path) {
    std::string out;
    for (std::size_t i = 0; i < path.size();) {
        char32_t cp = 0;
        const std::size_t n = Utf8Sequence(path.substr(i), cp);
        if (n == 1 && (cp == '\n' || cp == '\r' || cp == '\t')) {
            out += cp == '\n' ? "\\n" : cp == '\r' ? "\\r" : "\\t";
        } else if (n == 0 || cp < 0x20 || cp == 0x7F) {
            // A control character, or a byte that is not UTF-8 text.
            out += "\\x";
            AppendHex(out, static_cast<unsigned char>(path[i]), 2);
        } else if (ActsOnDisplay(cp)) {
            out += "\\u";
            AppendHex(out, static_cast<unsigned>(cp), 4);
        } else {
            out.append(path.substr(i, n));
        }
        i += n == 0 ? 1 : n;
    }
    return out;
}

std::string Grouped(long long n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

} // namespace hushnote
