#include "common/utf8.h"

namespace hushnote {

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

} // namespace hushnote
