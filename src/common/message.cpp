#include "common/message.h"

#include "common/utf8.h"

namespace hushnote {
namespace {

constexpr char kHex[] = "0123456789abcdef";

// C1 controls, which some terminals obey; the controls that reorder text on
// screen, which can make "invoice\u202etxt.exe" read as a text file; and the
// line and paragraph separators, at which the window's boxes break a line, so
// that a name could fake one.
bool ActsOnDisplay(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
           cp == 0x2028 || cp == 0x2029 || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

// Escaped as a byte: not UTF-8 text (n == 0), or a C0 control or DEL.
bool IsByteEscape(std::size_t n, char32_t cp) {
    return n == 0 || cp < 0x20 || cp == 0x7F;
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
        } else if (n == 1 && (cp == '\\' || cp == '"')) {
            // A name's own backslash must not read as an escape, nor its
            // quote as the end of the quoted name and words of a message.
            out += '\\';
            out += static_cast<char>(cp);
        } else if (IsByteEscape(n, cp)) {
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

std::size_t FirstActingOnDisplay(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t n = Utf8Sequence(text.substr(i), cp);
        if (IsByteEscape(n, cp) || ActsOnDisplay(cp)) {
            return i;
        }
        i += n;
    }
    return std::string_view::npos;
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
