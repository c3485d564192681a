// SIMD versions of the printable encoding, for x86 processors with SSSE3 or
// AVX2. They are compiled for those instruction sets function by function and
// only called after the processor was asked at run time, so the library still
// runs on any x86-64 machine.
#include "fncryptlib/fncrypt_core.h"

#include <initializer_list>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define HUSHNOTE_X86 1
#endif

namespace hushnote::fncrypt {

#if HUSHNOTE_X86
namespace {

// Encoding: each 32-bit lane takes one group of three bytes (shuffled so
// that a multiply can move the four 6-bit fields into the four bytes), and 63
// is added to every value: the alphabet is one run of 64 codes.
#define HUSHNOTE_ENCODE_SHUFFLE 1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10

__attribute__((target("ssse3"))) std::size_t EncodeSsse3(const std::uint8_t* in, std::size_t n,
                                                         std::uint8_t* out) {
    std::uint8_t* const start = out;
    const __m128i shuffle = _mm_setr_epi8(HUSHNOTE_ENCODE_SHUFFLE);
    const __m128i mask0 = _mm_set1_epi32(0x0fc0fc00), mul0 = _mm_set1_epi32(0x04000040);
    const __m128i mask1 = _mm_set1_epi32(0x003f03f0), mul1 = _mm_set1_epi32(0x01000010);
    const __m128i offset = _mm_set1_epi8(63);
    // 16 bytes are loaded and 12 used; the loop stops before reading past n.
    while (n >= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        v = _mm_shuffle_epi8(v, shuffle);
        const __m128i hi = _mm_mulhi_epu16(_mm_and_si128(v, mask0), mul0);
        const __m128i lo = _mm_mullo_epi16(_mm_and_si128(v, mask1), mul1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_add_epi8(_mm_or_si128(hi, lo), offset));
        in += 12;
        out += 16;
        n -= 12;
    }
    out += EncodePortable(in, n, out);
    return static_cast<std::size_t>(out - start);
}

__attribute__((target("avx2"))) std::size_t EncodeAvx2(const std::uint8_t* in, std::size_t n,
                                                       std::uint8_t* out) {
    std::uint8_t* const start = out;
    const __m256i shuffle = _mm256_setr_epi8(HUSHNOTE_ENCODE_SHUFFLE, HUSHNOTE_ENCODE_SHUFFLE);
    const __m256i mask0 = _mm256_set1_epi32(0x0fc0fc00), mul0 = _mm256_set1_epi32(0x04000040);
    const __m256i mask1 = _mm256_set1_epi32(0x003f03f0), mul1 = _mm256_set1_epi32(0x01000010);
    const __m256i offset = _mm256_set1_epi8(63);
    // Two 16-byte loads, 12 bytes apart, give each 128-bit lane its 12 bytes;
    // the second ends at in + 28.
    while (n >= 28) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12));
        __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
        v = _mm256_shuffle_epi8(v, shuffle);
        const __m256i hi = _mm256_mulhi_epu16(_mm256_and_si256(v, mask0), mul0);
        const __m256i lo = _mm256_mullo_epi16(_mm256_and_si256(v, mask1), mul1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_add_epi8(_mm256_or_si256(hi, lo), offset));
        in += 24;
        out += 32;
        n -= 24;
    }
    out += EncodePortable(in, n, out);
    return static_cast<std::size_t>(out - start);
}

#undef HUSHNOTE_ENCODE_SHUFFLE

// Decoding, per 32-bit lane of four characters w x y z:
//  - '0' becomes '|', then a saturating subtraction of 63 gives the values
//    (every code below '?' counts 0, codes of 127 and more give 64..192);
//  - a first value above 63 is the failure, collected over the whole input;
//  - the low 6 bits of all four are packed into 24 bits by two multiply-adds;
//  - the top 2 bits of z, which the formulas do not mask, are ORed into the
//    third byte.
#define HUSHNOTE_DECODE_SHUFFLE 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1

__attribute__((target("ssse3"))) std::size_t DecodeSsse3(const std::uint8_t* in, std::size_t m,
                                                         std::uint8_t* out) {
    const std::size_t total = m / 4 * 3;
    if (total == 0) {
        return 0;
    }
    const __m128i zero = _mm_set1_epi8('0'), zeroToBar = _mm_set1_epi8('0' ^ '|');
    const __m128i offset = _mm_set1_epi8(63), low6 = _mm_set1_epi8(63);
    const __m128i topOfZ = _mm_set1_epi32(static_cast<int>(0xC0000000u));
    const __m128i topOfW = _mm_set1_epi32(0xC0);
    const __m128i weights1 = _mm_set1_epi32(0x01400140), weights2 = _mm_set1_epi32(0x00011000);
    const __m128i shuffle = _mm_setr_epi8(HUSHNOTE_DECODE_SHUFFLE);
    __m128i bad = _mm_setzero_si128();
    // 16 bytes are stored and 12 kept: the loop runs only while 24 or more
    // characters are left, so the store stays inside the decoded length.
    while (m >= 24) {
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        c = _mm_xor_si128(c, _mm_and_si128(_mm_cmpeq_epi8(c, zero), zeroToBar));
        const __m128i v = _mm_subs_epu8(c, offset);
        bad = _mm_or_si128(bad, v);
        const __m128i pairs = _mm_maddubs_epi16(_mm_and_si128(v, low6), weights1);
        __m128i packed = _mm_madd_epi16(pairs, weights2);
        packed = _mm_or_si128(packed, _mm_srli_epi32(_mm_and_si128(v, topOfZ), 24));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(packed, shuffle));
        in += 16;
        out += 12;
        m -= 16;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(bad, topOfW), _mm_setzero_si128())) !=
        0xFFFF) {
        return 0;
    }
    if (m >= 4 && DecodePortable(in, m, out) == 0) {
        return 0;
    }
    return total;
}

__attribute__((target("avx2"))) std::size_t DecodeAvx2(const std::uint8_t* in, std::size_t m,
                                                       std::uint8_t* out) {
    const std::size_t total = m / 4 * 3;
    if (total == 0) {
        return 0;
    }
    const __m256i zero = _mm256_set1_epi8('0'), zeroToBar = _mm256_set1_epi8('0' ^ '|');
    const __m256i offset = _mm256_set1_epi8(63), low6 = _mm256_set1_epi8(63);
    const __m256i topOfZ = _mm256_set1_epi32(static_cast<int>(0xC0000000u));
    const __m256i topOfW = _mm256_set1_epi32(0xC0);
    const __m256i weights1 = _mm256_set1_epi32(0x01400140);
    const __m256i weights2 = _mm256_set1_epi32(0x00011000);
    const __m256i shuffle = _mm256_setr_epi8(HUSHNOTE_DECODE_SHUFFLE, HUSHNOTE_DECODE_SHUFFLE);
    const __m256i compact = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    __m256i bad = _mm256_setzero_si256();
    // 32 bytes are stored and 24 kept: 44 characters left make at least 33
    // decoded bytes, so the store stays inside the decoded length.
    while (m >= 44) {
        __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        c = _mm256_xor_si256(c, _mm256_and_si256(_mm256_cmpeq_epi8(c, zero), zeroToBar));
        const __m256i v = _mm256_subs_epu8(c, offset);
        bad = _mm256_or_si256(bad, v);
        const __m256i pairs = _mm256_maddubs_epi16(_mm256_and_si256(v, low6), weights1);
        __m256i packed = _mm256_madd_epi16(pairs, weights2);
        packed = _mm256_or_si256(packed, _mm256_srli_epi32(_mm256_and_si256(v, topOfZ), 24));
        packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(packed, shuffle), compact);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), packed);
        in += 32;
        out += 24;
        m -= 32;
    }
    if (!_mm256_testz_si256(bad, topOfW)) {
        return 0;
    }
    if (m >= 4 && DecodePortable(in, m, out) == 0) {
        return 0;
    }
    return total;
}

#undef HUSHNOTE_DECODE_SHUFFLE

} // namespace
#endif

bool Supported(Backend b) {
    switch (b) {
    case Backend::Portable:
        return true;
#if HUSHNOTE_X86
    case Backend::Ssse3:
        return __builtin_cpu_supports("ssse3");
    case Backend::Avx2:
        return __builtin_cpu_supports("avx2");
#else
    case Backend::Ssse3:
    case Backend::Avx2:
        return false;
#endif
    }
    return false;
}

Codec CodecFor(Backend b) {
    switch (b) {
#if HUSHNOTE_X86
    case Backend::Ssse3:
        return {b, "ssse3", EncodeSsse3, DecodeSsse3};
    case Backend::Avx2:
        return {b, "avx2", EncodeAvx2, DecodeAvx2};
#endif
    default:
        return {Backend::Portable, "portable", EncodePortable, DecodePortable};
    }
}

const Codec& BestCodec() {
    static const Codec best = [] {
        for (Backend b : {Backend::Avx2, Backend::Ssse3}) {
            if (Supported(b)) {
                return CodecFor(b);
            }
        }
        return CodecFor(Backend::Portable);
    }();
    return best;
}

} // namespace hushnote::fncrypt
