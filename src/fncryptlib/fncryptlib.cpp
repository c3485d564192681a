#include "fncryptlib.h"

#include <cstddef>

namespace {

// The one keystream of the process.
struct Rc4 {
    uint8_t s[256];
    uint8_t i;
    uint8_t j;
} g_rc4 = {{}, 0, 0};

} // namespace

extern "C" {

int32_t InitCipher(const uint8_t* key, int32_t keyLength, int16_t /*option*/) {
    if (key == nullptr || keyLength < 1) {
        return -1;
    }
    const int32_t len = keyLength > 256 ? 256 : keyLength;
    for (int k = 0; k < 256; ++k) {
        g_rc4.s[k] = static_cast<uint8_t>(k);
    }
    uint8_t j = 0;
    for (int k = 0; k < 256; ++k) {
        j = static_cast<uint8_t>(j + g_rc4.s[k] + key[k % len]);
        uint8_t t = g_rc4.s[k];
        g_rc4.s[k] = g_rc4.s[j];
        g_rc4.s[j] = t;
    }
    g_rc4.i = 0;
    g_rc4.j = 0;
    return 0;
}

int32_t CipherBuffer(const uint8_t* input, int32_t length, uint8_t* output) {
    if (length < 1) {
        return 0;
    }
    uint8_t i = g_rc4.i, j = g_rc4.j;
    uint8_t* s = g_rc4.s;
    for (int32_t n = 0; n < length; ++n) {
        i = static_cast<uint8_t>(i + 1);
        const uint8_t si = s[i];
        j = static_cast<uint8_t>(j + si);
        const uint8_t sj = s[j];
        s[i] = sj;
        s[j] = si;
        output[n] = static_cast<uint8_t>(input[n] ^ s[static_cast<uint8_t>(si + sj)]);
    }
    g_rc4.i = i;
    g_rc4.j = j;
    return length;
}

uint8_t CipherByte(uint8_t b) {
    uint8_t out;
    CipherBuffer(&b, 1, &out);
    return out;
}

int32_t EncodeText(const uint8_t* input, int32_t length, uint8_t* output) {
    if (length < 1) {
        return 0;
    }
    int32_t o = 0;
    for (int32_t g = 0; g < length; g += 3) {
        const unsigned p = input[g];
        const unsigned q = g + 1 < length ? input[g + 1] : 32u;
        const unsigned r = g + 2 < length ? input[g + 2] : 32u;
        output[o++] = static_cast<uint8_t>((p >> 2) + 63);
        output[o++] = static_cast<uint8_t>((((p & 3) << 4) | (q >> 4)) + 63);
        output[o++] = static_cast<uint8_t>((((q & 15) << 2) | (r >> 6)) + 63);
        output[o++] = static_cast<uint8_t>((r & 63) + 63);
    }
    return o;
}

int32_t DecodeText(const uint8_t* text, int32_t length, uint8_t* output) {
    if (length < 4) {
        return 0;
    }
    auto value = [](uint8_t c) -> unsigned {
        unsigned code = c == '0' ? '|' : c;
        return code > 63 ? code - 63 : 0;
    };
    const int32_t whole = length - length % 4;
    int32_t o = 0;
    for (int32_t g = 0; g < whole; g += 4) {
        const unsigned w = value(text[g]), x = value(text[g + 1]), y = value(text[g + 2]),
                       z = value(text[g + 3]);
        if (w > 63) {
            return 0;
        }
        output[o++] = static_cast<uint8_t>((w << 2) | ((x & 48) >> 4));
        output[o++] = static_cast<uint8_t>(((x & 15) << 4) | ((y & 60) >> 2));
        output[o++] = static_cast<uint8_t>(((y & 3) << 6) | z);
    }
    return o;
}

} // extern "C"
