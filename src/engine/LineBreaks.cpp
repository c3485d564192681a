#include "engine/LineBreaks.h"

namespace hushnote::linebreaks {

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

std::string LinesOf(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8 + 2);
    bool lineOpen = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char b = bytes[i];
        if (b == '\r') {
            // The terminator is not part of the line, whichever of the two it is.
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
            out += "\r\n";
            lineOpen = false;
        } else {
            out += b;
            lineOpen = true;
        }
    }
    if (lineOpen) {
        out += "\r\n";
    }
    return out;
}

} // namespace hushnote::linebreaks
