#include "fncryptlib/fncrypt_core.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace hushnote::fncrypt {

void Rc4Key(Rc4& st, const std::uint8_t* key, std::size_t length) {
    const std::size_t len = length > 256 ? 256 : length;
    for (unsigned k = 0; k < 256; ++k) {
        st.s[k] = static_cast<std::uint8_t>(k);
    }
    std::size_t p = 0;
    unsigned j = 0;
    for (unsigned k = 0; k < 256; ++k) {
        const std::uint8_t sk = st.s[k];
        j = (j + sk + key[p]) & 255;
        st.s[k] = st.s[j];
        st.s[j] = sk;
        if (++p == len) {
            p = 0;
        }
    }
    for (unsigned k = 0; k < 256; ++k) {
        st.s32[k] = st.s[k];
    }
    st.i = 0;
    st.j = 0;
}

namespace {

// One RC4 output step. The indices live in registers for the whole buffer and
// are written back once; they are bytes, so they wrap by themselves, and the
// state is bytes too, so the permutation spans four cache lines only.
#define HUSHNOTE_RC4_STEP(ks)                                                                      \
    do {                                                                                           \
        i = static_cast<std::uint8_t>(i + 1);                                                      \
        const std::uint8_t si = s[i];                                                              \
        j = static_cast<std::uint8_t>(j + si);                                                     \
        const std::uint8_t sj = s[j];                                                              \
        s[i] = sj;                                                                                 \
        s[j] = si;                                                                                 \
        (ks) = s[static_cast<std::uint8_t>(si + sj)];                                              \
    } while (0)

} // namespace

void Rc4ApplyPortable(Rc4& st, const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    std::uint8_t* const s = st.s;
    std::uint8_t i = st.i;
    std::uint8_t j = st.j;
    // Eight steps make one 64-bit word of keystream, XORed with the input in
    // one go.
    while (n >= 8) {
        unsigned k0, k1, k2, k3, k4, k5, k6, k7;
        HUSHNOTE_RC4_STEP(k0);
        HUSHNOTE_RC4_STEP(k1);
        HUSHNOTE_RC4_STEP(k2);
        HUSHNOTE_RC4_STEP(k3);
        HUSHNOTE_RC4_STEP(k4);
        HUSHNOTE_RC4_STEP(k5);
        HUSHNOTE_RC4_STEP(k6);
        HUSHNOTE_RC4_STEP(k7);
        std::uint64_t ks;
        if constexpr (std::endian::native == std::endian::little) {
            ks = std::uint64_t{k0} | std::uint64_t{k1} << 8 | std::uint64_t{k2} << 16 |
                 std::uint64_t{k3} << 24 | std::uint64_t{k4} << 32 | std::uint64_t{k5} << 40 |
                 std::uint64_t{k6} << 48 | std::uint64_t{k7} << 56;
        } else {
            ks = std::uint64_t{k7} | std::uint64_t{k6} << 8 | std::uint64_t{k5} << 16 |
                 std::uint64_t{k4} << 24 | std::uint64_t{k3} << 32 | std::uint64_t{k2} << 40 |
                 std::uint64_t{k1} << 48 | std::uint64_t{k0} << 56;
        }
        std::uint64_t word;
        std::memcpy(&word, in, 8);
        word ^= ks;
        std::memcpy(out, &word, 8);
        in += 8;
        out += 8;
        n -= 8;
    }
    for (; n > 0; --n) {
        unsigned k;
        HUSHNOTE_RC4_STEP(k);
        *out++ = static_cast<std::uint8_t>(*in++ ^ k);
    }
    st.i = i;
    st.j = j;
}

#undef HUSHNOTE_RC4_STEP

#if defined(__x86_64__)
extern "C" std::uint32_t HushnoteRc4Blocks(std::uint32_t* s, const std::uint8_t* in,
                                           std::uint8_t* out, std::size_t blocks, std::uint32_t i0,
                                           std::uint32_t j);

namespace {

constexpr std::size_t kBlock = 16; // steps per block of the assembly loop

// The steps before the first block (its S[i] must sit at a multiple of 16) and
// after the last one, on the 32-bit permutation.
void Rc4StepsX86_64(Rc4& st, const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    std::uint32_t* const s = st.s32;
    unsigned i = st.i;
    unsigned j = st.j;
    for (; n > 0; --n) {
        i = (i + 1) & 255;
        const std::uint32_t si = s[i];
        j = (j + si) & 255;
        const std::uint32_t sj = s[j];
        s[i] = sj;
        s[j] = si;
        *out++ = static_cast<std::uint8_t>(*in++ ^ s[(si + sj) & 255]);
    }
    st.i = static_cast<std::uint8_t>(i);
    st.j = static_cast<std::uint8_t>(j);
}

void Rc4ApplyX86_64(Rc4& st, const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    const std::size_t head = std::min(n, (kBlock - (st.i + 1u) % kBlock) % kBlock);
    Rc4StepsX86_64(st, in, head, out);
    in += head;
    out += head;
    n -= head;
    const std::size_t blocks = n / kBlock;
    if (blocks > 0) {
        st.j = static_cast<std::uint8_t>(
            HushnoteRc4Blocks(st.s32, in, out, blocks, (st.i + 1u) & 255, st.j));
        st.i = static_cast<std::uint8_t>(st.i + blocks * kBlock);
        in += blocks * kBlock;
        out += blocks * kBlock;
        n -= blocks * kBlock;
    }
    Rc4StepsX86_64(st, in, n, out);
}

} // namespace
#endif

bool Supported(Rc4Backend b) {
#if defined(__x86_64__)
    return b == Rc4Backend::Portable || b == Rc4Backend::X86_64;
#else
    return b == Rc4Backend::Portable;
#endif
}

Rc4Impl Rc4For(Rc4Backend b) {
#if defined(__x86_64__)
    if (b == Rc4Backend::X86_64) {
        return {b, "x86_64", Rc4ApplyX86_64};
    }
#endif
    return {Rc4Backend::Portable, "portable", Rc4ApplyPortable};
}

// The assembly loop runs on every x86-64 processor: it needs only the base
// instruction set.
const Rc4Impl& BestRc4() {
    static const Rc4Impl best =
        Rc4For(Supported(Rc4Backend::X86_64) ? Rc4Backend::X86_64 : Rc4Backend::Portable);
    return best;
}

} // namespace hushnote::fncrypt
