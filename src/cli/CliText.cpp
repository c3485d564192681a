#include "CliText.h"

#include <cstring>

namespace hushnote::cli {

void Wipe(std::string& s) {
    if (!s.empty()) {
        // A volatile pointer keeps the stores: the string is about to be freed,
        // and a plain memset before a free may be optimised away.
        volatile char* p = s.data();
        for (std::size_t i = 0; i < s.size(); ++i) {
            p[i] = '\0';
        }
    }
    s.clear();
}

std::string ToCrLf(std::string_view codes) {
    std::string out;
    out.reserve(codes.size() + codes.size() / 8);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == '\n' && (i == 0 || codes[i - 1] != '\r')) {
            out += '\r';
        }
        out += codes[i];
    }
    return out;
}

std::string ToLf(std::string_view codes) {
    std::string out;
    out.reserve(codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == '\r' && i + 1 < codes.size() && codes[i + 1] == '\n') {
            continue;
        }
        out += codes[i];
    }
    return out;
}

std::string JoinLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') {
            out += c;
        }
    }
    return out;
}

std::string Grouped(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

} // namespace hushnote::cli
