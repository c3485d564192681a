#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace hushnote::test {

// Bytes from hex text, spaces ignored: "b2 39 63" -> three codes.
inline std::string FromHex(std::string_view hex) {
    std::string out;
    int nibble = -1;
    for (char c : hex) {
        int v = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (v < 0) {
            continue;
        }
        if (nibble < 0) {
            nibble = v;
        } else {
            out += static_cast<char>(nibble * 16 + v);
            nibble = -1;
        }
    }
    return out;
}

inline std::string RandomBytes(std::mt19937& rng, std::size_t n) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(n, '\0');
    for (auto& c : s) {
        c = static_cast<char>(byte(rng));
    }
    return s;
}

} // namespace hushnote::test
