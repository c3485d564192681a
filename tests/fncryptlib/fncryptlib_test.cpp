// Every implementation of the cipher and the encoding held to the same known
// answers and to the built-in engine, which is the reference: VBEncrypt, and
// the library's cipher core with each codec backend (portable, SSSE3, AVX2
// where the processor has it) and each RC4 loop (portable, x86-64); then the
// C interface's own rules. The library as the program loads it is held to the
// built-in engine in tests/cipher.
#include "engine/VBEncrypt.h"
#include "fncryptlib/fncrypt_core.h"
#include "fncryptlib/fncryptlib.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

namespace hushnote {
namespace {

using namespace std::string_view_literals;
using Bytes = std::vector<std::uint8_t>;

// RFC 6229, "Test Vectors for the Stream Cipher RC4", section 2: its 40-bit
// and 128-bit keys at the first bytes and past the first 4 KiB. The key is
// the first keyLength bytes of kRfc6229Key; stream, 16 bytes from offset.
// clang-format off
constexpr std::string_view kRfc6229Key = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10";
struct Rc4Vector { std::size_t keyLength, offset; std::string_view stream; };
constexpr Rc4Vector kRfc6229[] = {
    {5, 0, "\xb2\x39\x63\x05\xf0\x3d\xc0\x27\xcc\xc3\x52\x4a\x0a\x11\x18\xa8"},
    {5, 4096, "\xff\x25\xb5\x89\x95\x99\x67\x07\xe5\x1f\xbd\xf0\x8b\x34\xd8\x75"},
    {16, 0, "\x9a\xc7\xcc\x9a\x60\x9d\x1e\xf7\xb2\x93\x28\x99\xcd\xe4\x1b\x97"},
    {16, 4080, "\xff\x38\x26\x5c\x16\x42\xc1\xab\xe8\xd3\xc2\xfe\x5e\x57\x2b\xf8"},
};
// Keys of 256 and 300 bytes, byte k of which is (times * k + plus) mod 256.
// Streams computed once by a separate RC4 of a few lines of Python (itself
// checked against the 40-bit key above first; openssl enc cuts an RC4 key to
// 16 bytes). Only the first 256 bytes of the 300-byte key take part in keying.
struct LongKeyVector { std::size_t keyLength; int times, plus; std::size_t offset; std::string_view stream; };
constexpr LongKeyVector kLongKeys[] = {
    {256, 1, 0, 4080, "\x78\x8a\x09\xdb\xa6\x2a\x80\xc6\x70\x5e\xf5\xe7\x11\x3c\x21\x64"},
    {300, 7, 3, 4080, "\x08\xbf\x66\xe4\xdf\xef\xd8\x38\x93\x1b\x9c\x9e\xdc\x9d\x52\xe6"},
};
// clang-format on

// Worked examples of the encoding, then malformed or unusual text; why is
// empty when text encodes decoded.
// clang-format off
struct CodecExample { std::string_view text, decoded, why; };
constexpr CodecExample kCodecExamples[] = {
    {"WUHb", "abc", ""},
    {"QETkZE{_", "Hello ", ""}, // partial groups come back filled with spaces
    {"WUH", "", "nothing is written below four characters"},
    {"WUHbW", "abc", "one trailing character is ignored"},
    {"WUHb\x80\xff\x7f", "abc", "three trailing characters of any code are ignored"},
    {"0000", "\xf7\xdf\x7d", "'0' reads as '|'"},
    {"||||", "\xf7\xdf\x7d", "'|' itself"},
    {" 1\r\n", "\0\0\0"sv, "characters below '?' count as 0"},
    {"WU\r\nHb", "a`\0"sv, "a line break shifts the group"},
    {"~???", "\xfc\0\0"sv, "126 is still a value"},
    {"WUHb\x7f???", "", "a first character of 127 or more empties everything"},
    {"?\xff\xff\xff", "\0\0\xc0"sv, "elsewhere such codes give what the formulas give"},
};
// clang-format on

// builtIn: VBEncrypt, else the library's core with the backends.
// clang-format off
struct Engine { const char* name; bool builtIn; fncrypt::Backend backend = fncrypt::Backend::Portable; fncrypt::Rc4Backend rc4 = fncrypt::Rc4Backend::Portable; };
// clang-format on
const std::uint8_t* U8(std::string_view s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// A heap block of exactly n bytes, so the address sanitizer reports any access
// past a documented size; filled with spaces as the program's callers do.
Bytes Exact(std::size_t n, std::string_view from = {}) {
    Bytes b(n, ' ');
    b.reserve(1); // never a null block, even for nothing
    std::copy(from.begin(), from.end(), b.begin());
    return b;
}
std::string Text(const Bytes& b, std::size_t from, std::size_t n) {
    return {reinterpret_cast<const char*>(b.data()) + from, n};
}

class EngineTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (!fncrypt::Supported(GetParam().backend) || !fncrypt::Supported(GetParam().rc4)) {
            GTEST_SKIP() << "this processor lacks " << GetParam().name;
        }
    }

    void Key(std::string_view k) {
        if (GetParam().builtIn) {
            VBEncrypt::KeyCipher(k);
        } else {
            fncrypt::Rc4Key(rc4_, U8(k), k.size());
        }
    }

    // data XOR the running keystream, into a buffer of its own.
    std::string Cipher(std::string_view data) {
        Bytes in = Exact(data.size(), data), out = Exact(data.size());
        if (GetParam().builtIn) {
            VBEncrypt::CipherNextBytes(reinterpret_cast<char*>(in.data()), data.size());
            return Text(in, 0, data.size());
        }
        fncrypt::Rc4For(GetParam().rc4).apply(rc4_, in.data(), data.size(), out.data());
        return Text(out, 0, data.size());
    }

    // Encodes into a buffer of exactly the documented size, (n / 3 + 1) * 4, or
    // decodes into one of exactly m bytes. Nothing past what the count may
    // cover is written: the encoded text, or the whole groups' bytes, failure
    // or not. The built-in decoder's spaces for short text count as nothing.
    std::string Code(bool encode, std::string_view in) {
        const std::size_t size = encode ? (in.size() / 3 + 1) * 4 : in.size();
        const std::size_t most = encode ? (in.size() + 2) / 3 * 4 : in.size() / 4 * 3;
        Bytes from = Exact(in.size(), in), out = Exact(size);
        std::size_t count = 0;
        if (GetParam().builtIn) {
            const std::string r = in.empty()      ? ""
                                  : encode        ? VBEncrypt::EncodePrintable(in)
                                  : in.size() < 4 ? ""
                                                  : VBEncrypt::DecodePrintable(in);
            count = r.copy(reinterpret_cast<char*>(out.data()), r.size());
        } else {
            count = (encode ? codec_.encode : codec_.decode)(from.data(), in.size(), out.data());
        }
        EXPECT_TRUE(encode ? count == most : count <= most) << count;
        EXPECT_EQ(Text(out, most, size - most), std::string(size - most, ' '));
        return Text(out, 0, std::min(count, most));
    }

    fncrypt::Rc4 rc4_{};
    fncrypt::Codec codec_ = fncrypt::CodecFor(GetParam().backend);
};

// The keystream at an offset, reached by a first call (of 0 bytes for offset
// 0): the stream runs on across calls. Only the first 256 bytes of a key take
// part.
TEST_P(EngineTest, Rc4MatchesRfc6229AndKeysPast256Bytes) {
    for (const auto& v : kRfc6229) {
        Key(kRfc6229Key.substr(0, v.keyLength));
        Cipher(std::string(v.offset, '\0'));
        EXPECT_EQ(Cipher(std::string(16, '\0')), v.stream) << v.keyLength << " @" << v.offset;
    }
    for (const auto& v : kLongKeys) {
        std::string key(v.keyLength, '\0');
        for (std::size_t k = 0; k < key.size(); ++k) {
            key[k] = static_cast<char>((v.times * static_cast<int>(k) + v.plus) % 256);
        }
        Key(key);
        Cipher(std::string(v.offset, '\0'));
        EXPECT_EQ(Cipher(std::string(16, '\0')), v.stream) << v.keyLength << " @" << v.offset;
    }
}

TEST_P(EngineTest, CodecKnownAnswers) {
    for (const auto& e : kCodecExamples) {
        EXPECT_EQ(Code(false, e.text), e.decoded) << e.why;
        if (e.why.empty()) {
            EXPECT_EQ(Code(true, e.decoded.substr(0, e.decoded.find_last_not_of(' ') + 1)), e.text);
        }
    }
}

// Every length through the vector loops (12 to 32 bytes at a time) and their
// tails: every byte value, and text as a user might paste it ('0', spaces,
// line breaks, high codes anywhere but first in a group), then with a first
// character of 127 or more in one group (each lane in turn), which empties
// the decoding.
TEST_P(EngineTest, CodecEqualsBuiltInAtEveryLength) {
    std::string data, text;
    for (unsigned k = 0; k < 300; ++k) {
        data += static_cast<char>(k * 167);
        text += static_cast<char>(k % 4 == 0 ? k % 127 : k * 37);
    }
    for (std::size_t n = 0; n <= data.size(); ++n) {
        const std::string plain = data.substr(0, n), encoded = Code(true, plain);
        ASSERT_EQ(encoded, n == 0 ? "" : VBEncrypt::EncodePrintable(plain)) << n;
        ASSERT_EQ(Code(false, encoded).substr(0, n), plain) << n;
        std::string pasted = text.substr(0, n);
        ASSERT_EQ(Code(false, pasted), n < 4 ? "" : VBEncrypt::DecodePrintable(pasted)) << n;
        if (n >= 4) {
            pasted[n % (n / 4) * 4] = static_cast<char>(127 + n % 129);
            ASSERT_EQ(Code(false, pasted), "") << n;
        }
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(All, EngineTest, ::testing::Values(Engine{"builtin", true}, Engine{"portable", false},
    Engine{"ssse3", false, fncrypt::Backend::Ssse3}, Engine{"avx2", false, fncrypt::Backend::Avx2},
    Engine{"rc4_x86_64", false, fncrypt::Backend::Portable, fncrypt::Rc4Backend::X86_64}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// The C interface's own rules: bad arguments write nothing and return 0 (-1
// for a key), and CipherByte and a refused call leave the stream running on.
TEST(FncryptlibApi, BadArgumentsAndTheStreamThroughCipherByte) {
    std::uint8_t in[8] = {1, 2, 3, 4, 5, 6, 7, 8}, out[8] = {};
    EXPECT_EQ(InitCipher(in, 0, 0), -1);
    EXPECT_EQ(InitCipher(nullptr, 5, 0), -1);
    for (std::int32_t bad : {0, -5}) {
        EXPECT_EQ(CipherBuffer(in, bad, out) + EncodeText(in, bad, out) + DecodeText(in, bad, out),
                  0);
    }
    EXPECT_EQ(DecodeText(in, 3, out) + EncodeText(in, 5, nullptr) + DecodeText(nullptr, 8, out), 0);

    ASSERT_EQ(InitCipher(U8("stream"), 6, 0), 0);
    Bytes got(30, 'q');
    got[0] = CipherByte('q');
    EXPECT_EQ(InitCipher(U8("stream"), 0, 0), -1);
    ASSERT_EQ(CipherBuffer(got.data() + 1, 28, got.data() + 1), 28);
    got[29] = CipherByte('q');
    EXPECT_EQ(Text(got, 0, 30), VBEncrypt::CipherString(std::string(30, 'q'), "stream"));
}

} // namespace
} // namespace hushnote
