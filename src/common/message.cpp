#include "common/message.h"

namespace hushnote {

std::string EscapedPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        // C1 controls arrive as two bytes of UTF-8; some terminals obey them.
        const bool c1 = c == 0xC2 && i + 1 < path.size() &&
                        static_cast<unsigned char>(path[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(path[i + 1]) <= 0x9F;
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c1) {
            const auto next = static_cast<unsigned char>(path[++i]);
            out += "\\u00";
            out += kHex[next >> 4];
            out += kHex[next & 15];
        } else {
            out += static_cast<char>(c);
        }
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
