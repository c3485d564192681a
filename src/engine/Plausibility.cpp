#include "engine/Plausibility.h"

#include "engine/VBEncrypt.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace hushnote::plausibility {
namespace {

bool IsControl(std::uint8_t code) {
    if (code < 0x20) {
        return code != '\t' && code != '\r' && code != '\n';
    }
    // DEL, and the five codes the code page leaves to C1 controls.
    return code == 0x7F || code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 ||
           code == 0x9D;
}

// What a word processor puts into plain Western text: € „ … ‘ ’ “ ” – — NBSP « ».
bool IsTypographic(std::uint8_t code) {
    constexpr std::uint8_t kCodes[] = {0x80, 0x84, 0x85, 0x91, 0x92, 0x93,
                                       0x94, 0x96, 0x97, 0xA0, 0xAB, 0xBB};
    return std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes);
}

// Up to 2 + n / 4 codes of 128 and above pass. Messages of random German,
// French and Spanish dictionary words, richer in accents than prose, stay
// under it; noise of 20 codes without a control character stays under it in
// less than 1% of cases, and longer noise more rarely still.
bool TooManyHighCodes(std::size_t high, std::size_t n) {
    return 4 * high > 8 + n;
}

} // namespace

bool LooksLikeText(std::string_view codes) {
    std::size_t high = 0;
    for (const char c : codes) {
        const auto code = static_cast<std::uint8_t>(c);
        if (IsControl(code)) {
            return false;
        }
        if (code >= 0x80 && !IsTypographic(code)) {
            ++high;
        }
    }
    return !TooManyHighCodes(high, codes.size());
}

bool IsSecuredHeader(std::string_view codes) {
    std::string chars(codes.substr(0, VBEncrypt::kHeaderChars));
    if (VBEncrypt::KeepSecuredChars(chars) || chars.size() < VBEncrypt::kHeaderChars) {
        return false;
    }
    const std::string header = VBEncrypt::DecodePrintable(chars);
    return VBEncrypt::DecodedHeaderLength(header) >= 1 && header.substr(3) == std::string(3, '\0');
}

} // namespace hushnote::plausibility
