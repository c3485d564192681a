#include "fncryptlib/fncrypt_core.h"

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

std::uint64_t ByteSwap64(std::uint64_t v) {
#if defined(__GNUC__)
    return __builtin_bswap64(v);
#else
    v = (v & 0x00FF00FF00FF00FFull) << 8 | (v >> 8 & 0x00FF00FF00FF00FFull);
    v = (v & 0x0000FFFF0000FFFFull) << 16 | (v >> 16 & 0x0000FFFF0000FFFFull);
    return v << 32 | v >> 32;
#endif
}

std::uint64_t LoadBe64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::little) {
        v = ByteSwap64(v);
    }
    return v;
}

void StoreNative64(std::uint8_t* p, std::uint64_t v) {
    std::memcpy(p, &v, 8);
}

void StoreBe64(std::uint8_t* p, std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        v = ByteSwap64(v);
    }
    std::memcpy(p, &v, 8);
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

// The two characters of every 12-bit value, as they lie in memory when read
// as one 16-bit number.
struct PairTable {
    std::uint16_t pair[4096];
};

constexpr PairTable MakePairTable() {
    PairTable t{};
    for (unsigned v = 0; v < 4096; ++v) {
        const unsigned first = (v >> 6) + 63, second = (v & 63) + 63;
        t.pair[v] = static_cast<std::uint16_t>(
            std::endian::native == std::endian::little ? first | second << 8 : first << 8 | second);
    }
    return t;
}

// Four pairs of characters, in order, as one 64-bit number in memory order.
std::uint64_t Chars8(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
    if constexpr (std::endian::native == std::endian::little) {
        return a | b << 16 | c << 32 | d << 48;
    } else {
        return a << 48 | b << 32 | c << 16 | d;
    }
}

constexpr PairTable kPairs = MakePairTable();

} // namespace

std::size_t EncodePortable(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    std::uint8_t* const start = out;
    // Two groups at a time: 48 bits read as one 8-byte word (so the loop stops
    // while 8 bytes are left), cut into four 12-bit halves that are looked up
    // as pairs of characters and written as one 8-byte word.
    while (n >= 8) {
        const std::uint64_t v = LoadBe64(in) >> 16;
        StoreNative64(out, Chars8(kPairs.pair[v >> 36], kPairs.pair[(v >> 24) & 4095],
                                  kPairs.pair[(v >> 12) & 4095], kPairs.pair[v & 4095]));
        in += 6;
        out += 8;
        n -= 6;
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
    auto group = [&](const std::uint8_t* c) -> std::uint64_t {
        const std::uint32_t v =
            kDecode.t0[c[0]] | kDecode.t1[c[1]] | kDecode.t2[c[2]] | kDecode.t3[c[3]];
        bad |= v;
        return v & 0xFFFFFF;
    };
    std::size_t g = 0;
    // Two groups make 6 bytes, stored as one 8-byte word while at least one
    // more group follows, so the store stays inside the decoded length.
    for (; g + 3 <= groups; g += 2) {
        const std::uint64_t w = (group(in) << 24 | group(in + 4)) << 16;
        StoreBe64(out, w);
        in += 8;
        out += 6;
    }
    for (; g < groups; ++g) {
        const std::uint64_t v = group(in);
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
