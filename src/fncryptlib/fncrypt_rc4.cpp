#include "fncryptlib/fncrypt_core.h"

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

void Rc4Apply(Rc4& st, const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
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

} // namespace hushnote::fncrypt
