// The cipher work of the native library, without its C interface, so that
// tests and benchmarks can reach every implementation on its own. Nothing in
// here is exported from libfncryptlib.so.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hushnote::fncrypt {

// One RC4 keystream: the permutation and the two indices. The permutation is
// kept twice, in bytes for the portable loop and in 32-bit words for the x86-64
// one (whole-word loads and stores keep its loop free of partial-register
// merges); a keystream is run by one implementation from its key on.
struct Rc4 {
    std::uint32_t s32[256];
    std::uint8_t s[256];
    std::uint8_t i;
    std::uint8_t j;
};

// Keys st with key[0 .. length), length >= 1; only the first 256 bytes take
// part. The stream starts again at its first byte.
void Rc4Key(Rc4& st, const std::uint8_t* key, std::size_t length);

// out[k] = in[k] XOR the next keystream byte, k in [0, n). out may equal in.
using Rc4Fn = void (*)(Rc4& st, const std::uint8_t* in, std::size_t n, std::uint8_t* out);

enum class Rc4Backend { Portable, X86_64 };

struct Rc4Impl {
    Rc4Backend backend;
    const char* name;
    Rc4Fn apply;
};

// Plain C++, for every machine, and the reference for the others.
void Rc4ApplyPortable(Rc4& st, const std::uint8_t* in, std::size_t n, std::uint8_t* out);

bool Supported(Rc4Backend b);

// The implementation of a backend; it may only be called when Supported(b).
Rc4Impl Rc4For(Rc4Backend b);

// The fastest implementation this machine supports, chosen once.
const Rc4Impl& BestRc4();

// Encodes n bytes into 4 * ceil(n / 3) characters '?'..'~', a last partial
// group filled with spaces. Reads exactly n bytes, writes exactly the count
// returned (0 for n == 0).
using EncodeFn = std::size_t (*)(const std::uint8_t* in, std::size_t n, std::uint8_t* out);

// Decodes the whole groups of m characters: 3 * floor(m / 4) bytes. Reads
// exactly m characters (the ones after the last whole group are ignored) and
// writes only inside out[0 .. 3 * floor(m / 4)). Returns 0 when m < 4 and when
// the first character of any group has a code of 127 or more; out then holds
// no meaningful data.
using DecodeFn = std::size_t (*)(const std::uint8_t* in, std::size_t m, std::uint8_t* out);

enum class Backend { Portable, Ssse3, Avx2 };

struct Codec {
    Backend backend;
    const char* name;
    EncodeFn encode;
    DecodeFn decode;
};

// Plain C++, for every machine.
std::size_t EncodePortable(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
std::size_t DecodePortable(const std::uint8_t* in, std::size_t m, std::uint8_t* out);

// Whether this machine can run the backend (Portable always can).
bool Supported(Backend b);

// The implementation of a backend; its functions may only be called when
// Supported(b).
Codec CodecFor(Backend b);

// The fastest backend this machine supports, chosen once.
const Codec& BestCodec();

} // namespace hushnote::fncrypt
