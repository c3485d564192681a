#pragma once

#include "common/error.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>

namespace hushnote::test {

// Bytes from hex text, spaces ignored: "b2 39 63" -> three codes.
inline std::string FromHex(std::string_view hex) {
    std::string out;
    for (std::size_t k = 0; k + 1 < hex.size(); k += hex[k] == ' ' ? 1 : 2) {
        if (hex[k] != ' ') {
            out += static_cast<char>(std::stoi(std::string(hex.substr(k, 2)), nullptr, 16));
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

// The failure number f throws, or 0 when it returns.
inline int FailureNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.number();
    }
    return 0;
}

} // namespace hushnote::test
