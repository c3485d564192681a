#include "fncrypt_core.h"

#include <array>
#include <bit>
#include <cstring>

namespace hushnote::fncrypt {
namespace {

void StoreLe32(std::uint8_t* p, std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 4);
    } else {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
    }
}

// The four characters of one group of three bytes, first character in the
// lowest byte. Each 6-bit value gets 63 added; no value exceeds 63 + 63, so the
// addition never carries into the next character.
std::uint32_t EncodeGroup(std::uint32_t p, std::uint32_t q, std::uint32_t r) {
    const std::uint32_t v = p << 16 | q << 8 | r;
    const std::uint32_t c =
        ((v >> 18) & 63) | ((v >> 12) & 63) << 8 | ((v >> 6) & 63) << 16 | (v & 63) << 24;
    return c + 0x3F3F3F3Fu;
}

// A character's value: its code minus 63, nothing below 0, '0' read as '|'.
// Codes of 127 and above give 64..192.
constexpr unsigned CharValue(unsigned c) {
    if (c == '0') {
        c = '|';
    }
    return c > 63 ? c - 63 : 0;
}

// Each table holds a character's contribution to the 24 bits of its group at
// its place in the group. Only the low 6 bits of the second and third value
// matter (the formulas mask them). The first value lands in bits 18..25, so a
// first character of 127 or more sets bit 24 or 25: the failure shows there.
// The fourth value is not masked, its top bits OR into the third byte.
struct DecodeTables {
    std::array<std::uint32_t, 256> t0, t1, t2, t3;
};

constexpr DecodeTables MakeDecodeTables() {
    DecodeTables t{};
    for (unsigned c = 0; c < 256; ++c) {
        const unsigned v = CharValue(c);
        t.t0[c] = v << 18;
        t.t1[c] = (v & 63) << 12;
        t.t2[c] = (v & 63) << 6;
        t.t3[c] = v;
    }
    return t;
}

constexpr DecodeTables kDecode = MakeDecodeTables();

} // namespace

std::size_t EncodePortable(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    std::uint8_t* const start = out;
    while (n >= 12) {
        StoreLe32(out, EncodeGroup(in[0], in[1], in[2]));
        StoreLe32(out + 4, EncodeGroup(in[3], in[4], in[5]));
        StoreLe32(out + 8, EncodeGroup(in[6], in[7], in[8]));
        StoreLe32(out + 12, EncodeGroup(in[9], in[10], in[11]));
        in += 12;
        out += 16;
        n -= 12;
    }
    while (n >= 3) {
        StoreLe32(out, EncodeGroup(in[0], in[1], in[2]));
        in += 3;
        out += 4;
        n -= 3;
    }
    if (n > 0) {
        // The last partial group is filled with spaces, as the built-in
        // encoder fills it.
        StoreLe32(out, EncodeGroup(in[0], n > 1 ? in[1] : 32u, 32u));
        out += 4;
    }
    return static_cast<std::size_t>(out - start);
}

std::size_t DecodePortable(const std::uint8_t* in, std::size_t m, std::uint8_t* out) {
    const std::size_t groups = m / 4;
    std::uint32_t bad = 0;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint32_t v =
            kDecode.t0[in[0]] | kDecode.t1[in[1]] | kDecode.t2[in[2]] | kDecode.t3[in[3]];
        bad |= v;
        out[0] = static_cast<std::uint8_t>(v >> 16);
        out[1] = static_cast<std::uint8_t>(v >> 8);
        out[2] = static_cast<std::uint8_t>(v);
        in += 4;
        out += 3;
    }
    // No early exit: a failing group is rare, and checking once keeps the
    // loop free of branches.
    if (bad >> 24) {
        return 0;
    }
    return groups * 3;
}

} // namespace hushnote::fncrypt
