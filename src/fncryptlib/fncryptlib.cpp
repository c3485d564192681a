// The C interface of the native library over the cipher core. Only the five
// functions below leave the library (fncryptlib.map).
#include "fncryptlib/fncryptlib.h"

#include "fncryptlib/fncrypt_core.h"

namespace {

// The one keystream of the process.
hushnote::fncrypt::Rc4 g_rc4 = {{}, {}, 0, 0};

} // namespace

extern "C" {

int32_t InitCipher(const uint8_t* key, int32_t keyLength, int16_t /*option*/) {
    if (key == nullptr || keyLength < 1) {
        return -1;
    }
    hushnote::fncrypt::Rc4Key(g_rc4, key, static_cast<std::size_t>(keyLength));
    return 0;
}

int32_t CipherBuffer(const uint8_t* input, int32_t length, uint8_t* output) {
    if (length < 1 || input == nullptr || output == nullptr) {
        return 0;
    }
    hushnote::fncrypt::BestRc4().apply(g_rc4, input, static_cast<std::size_t>(length), output);
    return length;
}

uint8_t CipherByte(uint8_t b) {
    uint8_t out;
    hushnote::fncrypt::BestRc4().apply(g_rc4, &b, 1, &out);
    return out;
}

int32_t EncodeText(const uint8_t* input, int32_t length, uint8_t* output) {
    if (length < 1 || input == nullptr || output == nullptr) {
        return 0;
    }
    return static_cast<int32_t>(
        hushnote::fncrypt::BestCodec().encode(input, static_cast<std::size_t>(length), output));
}

int32_t DecodeText(const uint8_t* text, int32_t length, uint8_t* output) {
    if (length < 4 || text == nullptr || output == nullptr) {
        return 0;
    }
    return static_cast<int32_t>(
        hushnote::fncrypt::BestCodec().decode(text, static_cast<std::size_t>(length), output));
}

} // extern "C"
