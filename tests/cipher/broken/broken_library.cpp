// A cipher library that loads but lacks most of its entry points: the program
// must fall back to the built-in cipher and tell the user.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t
InitCipher(const std::uint8_t*, std::int32_t, std::int16_t) {
    return 0;
}
