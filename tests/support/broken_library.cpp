// Stand-ins for a faulty cipher library, each built into a folder of its own
// under the real library's name.
//
// Built plain, it loads but lacks most of its entry points: the program must
// fall back to the built-in cipher and tell the user.
//
// Built with HUSHNOTE_SHORT_COUNTS, it has every entry point, but the function
// named by the key returns one less than it should: the program must fail the
// command rather than write a file that is missing data.
#include <cstdint>
#include <cstring>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

#ifndef HUSHNOTE_SHORT_COUNTS

EXPORT std::int32_t InitCipher(const std::uint8_t*, std::int32_t, std::int16_t) {
    return 0;
}

#else

namespace {
std::string gShort; // the function that returns a short count

std::int32_t Count(const char* function, std::int32_t right) {
    return gShort == function && right > 0 ? right - 1 : right;
}
} // namespace

EXPORT std::int32_t InitCipher(const std::uint8_t* key, std::int32_t length, std::int16_t) {
    gShort.assign(reinterpret_cast<const char*>(key), static_cast<std::size_t>(length));
    return 0;
}

// What it writes does not matter: only the counts are wrong.
EXPORT std::int32_t CipherBuffer(const std::uint8_t* input, std::int32_t n, std::uint8_t* out) {
    std::memmove(out, input, static_cast<std::size_t>(n < 1 ? 0 : n));
    return Count("CipherBuffer", n);
}

EXPORT std::int32_t EncodeText(const std::uint8_t*, std::int32_t n, std::uint8_t* out) {
    const std::int32_t right = n < 1 ? 0 : (n + 2) / 3 * 4;
    std::memset(out, '?', static_cast<std::size_t>(right));
    return Count("EncodeText", right);
}

EXPORT std::int32_t DecodeText(const std::uint8_t*, std::int32_t m, std::uint8_t* out) {
    const std::int32_t right = m / 4 * 3;
    std::memset(out, 0, static_cast<std::size_t>(right));
    return Count("DecodeText", right);
}

#endif
