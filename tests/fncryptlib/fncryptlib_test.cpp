// The native library against the built-in engine: every implementation of the
// encoding (portable, SSSE3, AVX2 where the processor has it) and the shared
// library through its C interface run the same known answers and the same
// comparisons with VBEncrypt, which is the reference.
#include "cipher/VBEncrypt.h"
#include "cipher/test_util.h"
#include "fncrypt_core.h"
#include "fncryptlib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace hushnote {
namespace {

using test::FromHex;
using Bytes = std::vector<std::uint8_t>;

const std::uint8_t* U8(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// A heap buffer of exactly n bytes, so that the address sanitizer reports any
// access past the size a function documents. Filled with spaces, as the
// program's callers fill their buffers.
struct ExactBuffer {
    explicit ExactBuffer(std::size_t n) : size(n), data(new std::uint8_t[n == 0 ? 1 : n]) {
        std::memset(data.get(), ' ', size);
    }
    std::string Prefix(std::size_t n) const {
        return std::string(reinterpret_cast<const char*>(data.get()), n);
    }
    std::size_t size;
    std::unique_ptr<std::uint8_t[]> data;
};

// An input copied into a heap block of exactly its own size.
struct ExactInput {
    explicit ExactInput(const std::string& s) : buffer(s.size()) {
        if (!s.empty()) {
            std::memcpy(buffer.data.get(), s.data(), s.size());
        }
    }
    const std::uint8_t* data() const { return buffer.data.get(); }
    ExactBuffer buffer;
};

// One implementation of the library's work. RC4 has one implementation in
// the core; the "library" engine reaches it, and the encoding it chose for
// this processor, through the exported C functions.
struct Engine {
    std::string name;
    bool supported;
    std::function<void(const std::string& key)> key;
    std::function<void(const std::uint8_t*, std::size_t, std::uint8_t*)> cipher;
    // Encode and decode return the count written, as the C functions do.
    std::function<std::size_t(const std::uint8_t*, std::size_t, std::uint8_t*)> encode;
    std::function<std::size_t(const std::uint8_t*, std::size_t, std::uint8_t*)> decode;
};

// Test names and failure messages show the engine's name, not its bytes.
void PrintTo(const Engine& e, std::ostream* os) {
    *os << e.name;
}

fncrypt::Rc4 g_coreStream;

Engine CoreEngine(fncrypt::Backend backend, const char* name = nullptr) {
    const fncrypt::Codec codec = fncrypt::CodecFor(backend);
    const char* names[] = {"portable", "ssse3", "avx2"};
    return Engine{
        name != nullptr ? name : names[static_cast<int>(backend)],
        fncrypt::Supported(backend),
        [](const std::string& k) { fncrypt::Rc4Key(g_coreStream, U8(k), k.size()); },
        [](const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
            fncrypt::Rc4Apply(g_coreStream, in, n, out);
        },
        codec.encode,
        codec.decode,
    };
}

Engine LibraryEngine() {
    return Engine{
        "library",
        true,
        [](const std::string& k) {
            ASSERT_EQ(InitCipher(U8(k), static_cast<std::int32_t>(k.size()), 0), 0);
        },
        [](const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
            ASSERT_EQ(CipherBuffer(in, static_cast<std::int32_t>(n), out),
                      static_cast<std::int32_t>(n));
        },
        [](const std::uint8_t* in, std::size_t n, std::uint8_t* out) -> std::size_t {
            const std::int32_t r = EncodeText(in, static_cast<std::int32_t>(n), out);
            EXPECT_GE(r, 0);
            return static_cast<std::size_t>(r);
        },
        [](const std::uint8_t* in, std::size_t m, std::uint8_t* out) -> std::size_t {
            const std::int32_t r = DecodeText(in, static_cast<std::int32_t>(m), out);
            EXPECT_GE(r, 0);
            return static_cast<std::size_t>(r);
        },
    };
}

class EngineTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (!GetParam().supported) {
            GTEST_SKIP() << "this processor lacks " << GetParam().name;
        }
    }

    std::string Cipher(const std::string& data) {
        const ExactInput in(data);
        ExactBuffer out(data.size());
        GetParam().cipher(in.data(), data.size(), out.data.get());
        return out.Prefix(data.size());
    }

    std::string Keystream(const std::string& key, std::size_t n) {
        GetParam().key(key);
        return Cipher(std::string(n, '\0'));
    }

    // Encodes into a buffer of exactly the documented size, (n / 3 + 1) * 4,
    // and checks the count and that nothing past it was written.
    std::string Encode(const std::string& data) {
        const ExactInput in(data);
        ExactBuffer out((data.size() / 3 + 1) * 4);
        const std::size_t count = GetParam().encode(in.data(), data.size(), out.data.get());
        EXPECT_EQ(count, (data.size() + 2) / 3 * 4) << "length " << data.size();
        EXPECT_LE(count, out.size);
        for (std::size_t k = count; k < out.size; ++k) {
            EXPECT_EQ(out.data[k], ' ') << "written past the count at " << k;
        }
        return out.Prefix(count);
    }

    // Decodes into a buffer of exactly the documented size, m bytes; the
    // count written goes to countOut when given.
    std::string Decode(const std::string& text, std::size_t* countOut = nullptr) {
        const ExactInput in(text);
        ExactBuffer out(text.size());
        const std::size_t count = GetParam().decode(in.data(), text.size(), out.data.get());
        EXPECT_LE(count, out.size);
        // Past the whole groups' bytes nothing is written, failure or not.
        for (std::size_t k = text.size() / 4 * 3; k < out.size; ++k) {
            EXPECT_EQ(out.data[k], ' ') << "written past the decoded length at " << k;
        }
        if (countOut != nullptr) {
            *countOut = count;
        }
        return out.Prefix(count);
    }

    // What the built-in decoder gives, in the form the library reports it:
    // the built-in returns as many spaces as characters below 4 characters
    // and "" on failure; the library writes nothing in both cases.
    static std::string ReferenceDecode(const std::string& text) {
        if (text.size() < 4) {
            return {};
        }
        return VBEncrypt::DecodePrintable(text);
    }
};

// RC4 has one implementation in the core ("core") and the library's exported
// functions over it; the encoding has one per instruction set.
class Rc4Test : public EngineTest {};
class CodecTest : public EngineTest {};

struct Rfc6229Vector {
    const char* key;
    std::size_t offset;
    const char* stream;
};

// RFC 6229, "Test Vectors for the Stream Cipher RC4", section 2: keystream
// bytes at the given offsets for its 40-bit and 128-bit keys.
constexpr Rfc6229Vector kRfc6229[] = {
    {"0102030405", 0, "b2 39 63 05 f0 3d c0 27 cc c3 52 4a 0a 11 18 a8"},
    {"0102030405", 16, "69 82 94 4f 18 fc 82 d5 89 c4 03 a4 7a 0d 09 19"},
    {"0102030405", 240, "28 cb 11 32 c9 6c e2 86 42 1d ca ad b8 b6 9e ae"},
    {"0102030405", 256, "1c fc f6 2b 03 ed db 64 1d 77 df cf 7f 8d 8c 93"},
    {"0102030405", 4080, "06 83 26 a2 11 84 16 d2 1f 9d 04 b2 cd 1c a0 50"},
    {"0102030405", 4096, "ff 25 b5 89 95 99 67 07 e5 1f bd f0 8b 34 d8 75"},
    {"0102030405060708090a0b0c0d0e0f10", 0, "9a c7 cc 9a 60 9d 1e f7 b2 93 28 99 cd e4 1b 97"},
    {"0102030405060708090a0b0c0d0e0f10", 16, "52 48 c4 95 90 14 12 6a 6e 8a 84 f1 1d 1a 9e 1c"},
    {"0102030405060708090a0b0c0d0e0f10", 240, "06 59 02 e4 b6 20 f6 cc 36 c8 58 9f 66 43 2f 2b"},
    {"0102030405060708090a0b0c0d0e0f10", 256, "d3 9d 56 6b c6 bc e3 01 07 68 15 15 49 f3 87 3f"},
    {"0102030405060708090a0b0c0d0e0f10", 4080, "ff 38 26 5c 16 42 c1 ab e8 d3 c2 fe 5e 57 2b f8"},
    {"0102030405060708090a0b0c0d0e0f10", 4096, "a3 6a 4c 30 1a e8 ac 13 61 0c cb c1 22 56 ca cc"},
};

TEST_P(Rc4Test, MatchesRfc6229) {
    for (const auto& v : kRfc6229) {
        EXPECT_EQ(Keystream(FromHex(v.key), v.offset + 16).substr(v.offset), FromHex(v.stream))
            << "key " << v.key << " offset " << v.offset;
    }
}

TEST_P(Rc4Test, MatchesClassicTextVector) {
    GetParam().key("Key");
    EXPECT_EQ(Cipher("Plaintext"), FromHex("bbf316e8d940af0ad3"));
}

TEST_P(Rc4Test, EqualsBuiltInForKeysOfEveryLength) {
    std::mt19937 rng(7);
    // Keys of 1 to 300 bytes: only the first 256 take part.
    for (std::size_t keyLength : {1, 2, 5, 16, 255, 256, 257, 300}) {
        const std::string key = test::RandomBytes(rng, keyLength);
        const std::string data = test::RandomBytes(rng, 1000);
        GetParam().key(key);
        EXPECT_EQ(Cipher(data), VBEncrypt::CipherString(data, key)) << "key length " << keyLength;
    }
}

TEST_P(Rc4Test, KeystreamContinuesAcrossCallsSplitAnywhere) {
    std::mt19937 rng(11);
    const std::string key = "pass word";
    const std::string data = test::RandomBytes(rng, 20000);
    const std::string expected = VBEncrypt::CipherString(data, key);
    for (int round = 0; round < 20; ++round) {
        GetParam().key(key);
        std::string got;
        std::size_t at = 0;
        while (at < data.size()) {
            // Pieces of 0 to 40 bytes, now and then a large one.
            std::size_t piece = std::uniform_int_distribution<std::size_t>(0, 40)(rng);
            if (rng() % 8 == 0) {
                piece = std::uniform_int_distribution<std::size_t>(41, 5000)(rng);
            }
            piece = std::min(piece, data.size() - at);
            got += Cipher(data.substr(at, piece));
            at += piece;
        }
        ASSERT_EQ(got, expected) << "round " << round;
    }
}

TEST_P(Rc4Test, KeyingRestartsTheStream) {
    const std::string first = Keystream("secret", 100);
    Cipher(std::string(333, 'x'));
    EXPECT_EQ(Keystream("secret", 100), first);
}

TEST_P(Rc4Test, InPlace) {
    std::mt19937 rng(3);
    for (std::size_t n : {1, 7, 8, 9, 63, 64, 65, 4095, 100000}) {
        const std::string data = test::RandomBytes(rng, n);
        ExactBuffer buf(n);
        std::memcpy(buf.data.get(), data.data(), n);
        GetParam().key("in place");
        GetParam().cipher(buf.data.get(), n, buf.data.get());
        EXPECT_EQ(buf.Prefix(n), VBEncrypt::CipherString(data, "in place")) << "length " << n;
    }
}

TEST_P(CodecTest, EncodesTheWorkedExamples) {
    EXPECT_EQ(Encode("abc"), "WUHb");
    EXPECT_EQ(Encode("Hello"), "QETkZE{_");
    EXPECT_EQ(Encode("a"), "WQ?_");
    EXPECT_EQ(Encode(""), "");
    // Six codes, as in the length header: no fill.
    EXPECT_EQ(Encode(std::string("\0\0\x05\0\0\0", 6)), "???D????");
}

TEST_P(CodecTest, DecodesTheWorkedExamples) {
    EXPECT_EQ(Decode("WUHb"), "abc");
    EXPECT_EQ(Decode("WQ?_"), "a  ");
    EXPECT_EQ(Decode("QETkZE{_"), "Hello ");
    EXPECT_EQ(Decode("WUHbW"), "abc");
    for (const char* shortText : {"", "W", "WU", "WUH"}) {
        std::size_t count = 99;
        Decode(shortText, &count);
        EXPECT_EQ(count, 0u) << '"' << shortText << '"';
    }
}

TEST_P(CodecTest, EncodeEqualsBuiltInForEveryLength) {
    std::mt19937 rng(5);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 1; n <= 300; ++n) {
        lengths.push_back(n);
    }
    for (std::size_t n : {4094, 4095, 4096, 5460, 65535, 100000, 100001, 100002}) {
        lengths.push_back(n);
    }
    for (std::size_t n : lengths) {
        const std::string data = test::RandomBytes(rng, n);
        const std::string encoded = Encode(data);
        ASSERT_EQ(encoded, VBEncrypt::EncodePrintable(data)) << "length " << n;
        // And back, through the same engine.
        ASSERT_EQ(Decode(encoded).substr(0, n), data) << "length " << n;
    }
}

// Text as a user might paste it: mostly the alphabet, with '0', spaces,
// line breaks, digits and codes of 127 and more mixed in everywhere except the
// first place of a group (which would end the decoding).
std::string ArbitraryText(std::mt19937& rng, std::size_t m) {
    std::string s(m, '?');
    std::uniform_int_distribution<int> any(0, 255), low(0, 126), kind(0, 9);
    for (std::size_t k = 0; k < m; ++k) {
        int c;
        switch (kind(rng)) {
        case 0:
            c = '0';
            break;
        case 1:
            c = "\r\n 19;>?"[rng() % 8];
            break;
        case 2:
            c = any(rng);
            break;
        default:
            c = 63 + static_cast<int>(rng() % 64);
        }
        if (k % 4 == 0 && c >= 127) {
            c = low(rng);
        }
        s[k] = static_cast<char>(c);
    }
    return s;
}

TEST_P(CodecTest, DecodeEqualsBuiltInOnArbitraryText) {
    std::mt19937 rng(9);
    std::vector<std::size_t> lengths;
    for (std::size_t m = 0; m <= 300; ++m) {
        lengths.push_back(m);
    }
    for (std::size_t m : {5460, 5461, 5462, 5463, 100000, 100003}) {
        lengths.push_back(m);
    }
    for (std::size_t m : lengths) {
        for (int round = 0; round < 3; ++round) {
            const std::string text = ArbitraryText(rng, m);
            ASSERT_EQ(Decode(text), ReferenceDecode(text)) << "length " << m;
        }
    }
}

TEST_P(CodecTest, DecodeEqualsBuiltInOnRandomBytes) {
    // Every code anywhere: most of these fail on a first character of 127 or
    // more, and both engines must agree on which do.
    std::mt19937 rng(13);
    for (std::size_t m = 0; m <= 64; ++m) {
        for (int round = 0; round < 50; ++round) {
            const std::string text = test::RandomBytes(rng, m);
            ASSERT_EQ(Decode(text), ReferenceDecode(text)) << "length " << m;
        }
    }
}

TEST_P(CodecTest, ZeroReadsAsBarAndLowCharactersAsQuestionMark) {
    EXPECT_EQ(Decode("W0Hb"), Decode("W|Hb"));
    EXPECT_EQ(Decode("0000"), Decode("||||"));
    EXPECT_EQ(Decode(" \r\n1"), Decode("????"));
    EXPECT_EQ(Decode(std::string("\0\0\0\0", 4)), std::string(3, '\0'));
    // In a long text too, where the SIMD loops run.
    std::string bars(400, '|'), zeros(400, '0');
    EXPECT_EQ(Decode(zeros), Decode(bars));
    EXPECT_EQ(Decode(zeros), ReferenceDecode(zeros));
}

TEST_P(CodecTest, FirstCharacterOf127OrMoreFailsTheWholeDecoding) {
    std::mt19937 rng(17);
    const std::string good = VBEncrypt::EncodePrintable(test::RandomBytes(rng, 300)); // 400
    ASSERT_FALSE(Decode(good).empty());
    // In every group in turn: early, inside the vector loops, in the tail.
    for (std::size_t g = 0; g < good.size() / 4; ++g) {
        for (int code : {127, 128, 200, 255}) {
            std::string bad = good;
            bad[4 * g] = static_cast<char>(code);
            std::size_t count = 99;
            EXPECT_EQ(Decode(bad, &count), "") << "group " << g << " code " << code;
            EXPECT_EQ(count, 0u);
            EXPECT_EQ(VBEncrypt::DecodePrintable(bad), "");
        }
    }
    // Elsewhere in a group, such codes do not fail; they give what the
    // formulas give.
    for (std::size_t place : {1, 2, 3, 201, 202, 203, 397, 398, 399}) {
        for (int code : {127, 192, 255}) {
            std::string odd = good;
            odd[place] = static_cast<char>(code);
            const std::string decoded = Decode(odd);
            EXPECT_EQ(decoded.size(), 300u);
            EXPECT_EQ(decoded, VBEncrypt::DecodePrintable(odd)) << "place " << place;
        }
    }
    // The characters after the last whole group are ignored, whatever they are.
    EXPECT_EQ(Decode(good + "\xff"), Decode(good));
    EXPECT_EQ(Decode(good + "\x80\x80\x80"), Decode(good));
}

TEST_P(CodecTest, LargeRoundTripThroughBothEngines) {
    std::mt19937 rng(19);
    const std::string data = test::RandomBytes(rng, 1 << 20);
    const std::string key = "a longer password of some words";
    GetParam().key(key);
    const std::string secured = Encode(Cipher(data));
    EXPECT_EQ(secured, VBEncrypt::EncodePrintable(VBEncrypt::CipherString(data, key)));
    GetParam().key(key);
    EXPECT_EQ(Cipher(Decode(secured).substr(0, data.size())), data);
}

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rc4, Rc4Test,
                         ::testing::Values(CoreEngine(fncrypt::Backend::Portable, "core"),
                                           LibraryEngine()),
                         EngineName);

INSTANTIATE_TEST_SUITE_P(Backends, CodecTest,
                         ::testing::Values(CoreEngine(fncrypt::Backend::Portable),
                                           CoreEngine(fncrypt::Backend::Ssse3),
                                           CoreEngine(fncrypt::Backend::Avx2), LibraryEngine()),
                         EngineName);

// ---- The C interface's own rules ----

TEST(FncryptlibApi, CountsAndBadArguments) {
    std::uint8_t in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t out[8] = {};
    EXPECT_EQ(InitCipher(in, 0, 0), -1);
    EXPECT_EQ(InitCipher(nullptr, 5, 0), -1);
    EXPECT_EQ(CipherBuffer(in, 0, out), 0);
    EXPECT_EQ(CipherBuffer(in, -5, out), 0);
    EXPECT_EQ(EncodeText(in, 0, out), 0);
    EXPECT_EQ(EncodeText(in, -1, out), 0);
    EXPECT_EQ(DecodeText(in, 3, out), 0);
    EXPECT_EQ(DecodeText(in, -4, out), 0);
    EXPECT_EQ(EncodeText(in, 5, nullptr), 0);
    EXPECT_EQ(DecodeText(nullptr, 8, out), 0);
}

TEST(FncryptlibApi, RejectedKeyAndEmptyCallsLeaveTheStreamAlone) {
    const std::string key = "stream";
    const std::string expected = VBEncrypt::CipherString(std::string(10, '\0'), key);
    ASSERT_EQ(InitCipher(U8(key), static_cast<std::int32_t>(key.size()), 0), 0);
    std::uint8_t out[10];
    const std::uint8_t zeros[10] = {};
    ASSERT_EQ(CipherBuffer(zeros, 4, out), 4);
    EXPECT_EQ(InitCipher(U8(key), 0, 0), -1);
    EXPECT_EQ(CipherBuffer(zeros, 0, out + 4), 0);
    ASSERT_EQ(CipherBuffer(zeros, 6, out + 4), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 10), expected);
}

TEST(FncryptlibApi, CipherByteContinuesTheSameStream) {
    const std::string key = "byte by byte";
    const std::string expected = VBEncrypt::CipherString(std::string(50, 'q'), key);
    ASSERT_EQ(InitCipher(U8(key), static_cast<std::int32_t>(key.size()), 0), 0);
    std::string got;
    std::uint8_t buf[20];
    const std::uint8_t qs[20] = {'q', 'q', 'q', 'q', 'q', 'q', 'q', 'q', 'q', 'q',
                                 'q', 'q', 'q', 'q', 'q', 'q', 'q', 'q', 'q', 'q'};
    for (int k = 0; k < 15; ++k) {
        got += static_cast<char>(CipherByte('q'));
    }
    CipherBuffer(qs, 20, buf);
    got.append(reinterpret_cast<char*>(buf), 20);
    for (int k = 0; k < 15; ++k) {
        got += static_cast<char>(CipherByte('q'));
    }
    EXPECT_EQ(got, expected);
}

TEST(FncryptlibApi, ChoosesAnImplementationThisProcessorRuns) {
    const fncrypt::Codec& best = fncrypt::BestCodec();
    EXPECT_TRUE(fncrypt::Supported(best.backend)) << best.name;
    if (fncrypt::Supported(fncrypt::Backend::Avx2)) {
        EXPECT_EQ(best.backend, fncrypt::Backend::Avx2);
    }
}

} // namespace
} // namespace hushnote
