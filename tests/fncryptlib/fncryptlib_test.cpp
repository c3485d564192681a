// The native library against the built-in engine: every implementation of the
// encoding (portable, SSSE3, AVX2 where the processor has it) and the shared
// library through its C interface run the same known answers and the same
// comparisons with VBEncrypt, which is the reference.
#include "cipher/VBEncrypt.h"
#include "cipher/test_util.h"
#include "common/vectors.h"
#include "fncryptlib/fncrypt_core.h"
#include "fncryptlib/fncryptlib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <ostream>
#include <vector>

namespace hushnote {
namespace {

using test::FromHex;
using test::RandomBytes;
using Bytes = std::vector<std::uint8_t>;

const std::uint8_t* U8(std::string_view s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// A heap block of exactly n bytes (so the address sanitizer reports any access
// past a documented size), filled with spaces as the program's callers do.
Bytes Exact(std::size_t n, std::string_view from = {}) {
    Bytes b(n, ' ');
    b.reserve(1); // never a null block, even for nothing
    std::copy(from.begin(), from.end(), b.begin());
    return b;
}

std::string Text(const Bytes& b, std::size_t n) {
    return {reinterpret_cast<const char*>(b.data()), n};
}

// One implementation of the library's work. RC4 has one implementation in the
// core; the library reaches it, and the encoding it chose for this processor,
// through the exported C functions.
struct Engine {
    const char* name;
    fncrypt::Backend backend;
    bool library;
};

void PrintTo(const Engine& e, std::ostream* os) {
    *os << e.name;
}

class EngineTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (!fncrypt::Supported(GetParam().backend)) {
            GTEST_SKIP() << "this processor lacks " << GetParam().name;
        }
    }

    void Key(std::string_view k) {
        if (GetParam().library) {
            ASSERT_EQ(InitCipher(U8(k), static_cast<std::int32_t>(k.size()), 0), 0);
        } else {
            fncrypt::Rc4Key(rc4_, U8(k), k.size());
        }
    }

    void CipherInto(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
        if (GetParam().library) {
            ASSERT_EQ(CipherBuffer(in, static_cast<std::int32_t>(n), out), std::int32_t(n));
        } else {
            fncrypt::Rc4Apply(rc4_, in, n, out);
        }
    }

    // Encodes or decodes, returning the count written as the C functions do.
    std::size_t Code(bool encode, const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
        if (!GetParam().library) {
            return (encode ? codec_.encode : codec_.decode)(in, n, out);
        }
        const std::int32_t r = (encode ? EncodeText : DecodeText)(in, std::int32_t(n), out);
        EXPECT_GE(r, 0);
        return static_cast<std::size_t>(r);
    }

    // Ciphers into a second buffer, or in place.
    std::string Cipher(const std::string& data, bool inPlace = false) {
        Bytes in = Exact(data.size(), data);
        Bytes out = Exact(data.size());
        CipherInto(in.data(), data.size(), inPlace ? in.data() : out.data());
        return Text(inPlace ? in : out, data.size());
    }

    // Encodes into a buffer of exactly the documented size, (n / 3 + 1) * 4,
    // and checks the count and that nothing past it was written.
    std::string Encode(const std::string& data) {
        const Bytes in = Exact(data.size(), data);
        Bytes out = Exact((data.size() / 3 + 1) * 4);
        const std::size_t count = Code(true, in.data(), data.size(), out.data());
        EXPECT_EQ(count, (data.size() + 2) / 3 * 4) << "length " << data.size();
        EXPECT_EQ(Text(out, out.size()).substr(count), std::string(out.size() - count, ' '))
            << "written past the count";
        return Text(out, count);
    }

    // Decodes into a buffer of exactly the documented size, m bytes; past the
    // whole groups' bytes nothing is written, failure or not. "" means a count
    // of 0.
    std::string Decode(std::string_view text) {
        const Bytes in = Exact(text.size(), text);
        Bytes out = Exact(text.size());
        const std::size_t count = Code(false, in.data(), text.size(), out.data());
        const std::size_t whole = text.size() / 4 * 3;
        EXPECT_LE(count, whole);
        EXPECT_EQ(Text(out, out.size()).substr(whole), std::string(text.size() - whole, ' '))
            << "written past the decoded length";
        return Text(out, count);
    }

    // The built-in decoder in the form the library reports it: below four
    // characters the built-in gives spaces, the library writes nothing.
    static std::string ReferenceDecode(const std::string& text) {
        return text.size() < 4 ? std::string() : VBEncrypt::DecodePrintable(text);
    }

    fncrypt::Rc4 rc4_{};
    fncrypt::Codec codec_ = fncrypt::CodecFor(GetParam().backend);
};

class Rc4Test : public EngineTest {};
class CodecTest : public EngineTest {};

TEST_P(Rc4Test, MatchesRfc6229) {
    for (const auto& v : test::kRfc6229) {
        Key(FromHex(v.key));
        EXPECT_EQ(Cipher(std::string(v.offset + 16, '\0')).substr(v.offset), FromHex(v.stream))
            << v.key << " @" << v.offset;
    }
}

TEST_P(Rc4Test, EqualsBuiltInForKeysOfEveryLength) {
    std::mt19937 rng(7);
    // Keys of 1 to 300 bytes of any code: only the first 256 take part.
    for (std::size_t keyLength : {1, 2, 5, 16, 255, 256, 257, 300}) {
        const std::string key = RandomBytes(rng, keyLength);
        const std::string data = RandomBytes(rng, 1000);
        Key(key);
        EXPECT_EQ(Cipher(data), VBEncrypt::CipherString(data, key)) << "key length " << keyLength;
    }
}

TEST_P(Rc4Test, KeystreamContinuesAcrossCallsSplitAnywhereInPlaceOrNot) {
    std::mt19937 rng(11);
    const std::string data = RandomBytes(rng, 20000);
    const std::string expected = VBEncrypt::CipherString(data, "pass word");
    for (int round = 0; round < 20; ++round) {
        Key("pass word"); // after the whole stream of the round before
        std::string got;
        for (std::size_t at = 0, piece = 0; at < data.size(); at += piece) {
            // Pieces of 0 to 40 bytes, now and then a large one.
            piece = rng() % 8 == 0 ? 41 + rng() % 5000 : rng() % 41;
            piece = std::min(piece, data.size() - at);
            got += Cipher(data.substr(at, piece), round % 2 == 1);
        }
        ASSERT_EQ(got, expected) << "round " << round;
    }
}

TEST_P(CodecTest, KnownAnswers) {
    for (const auto& e : test::kPrintableExamples) {
        EXPECT_EQ(Encode(std::string(e.plain)), e.encoded);
        EXPECT_EQ(Decode(e.encoded), e.decoded);
    }
    for (const auto& e : test::kDecodeExamples) {
        EXPECT_EQ(Decode(e.text), e.decoded) << e.why;
    }
    for (std::string_view shortText : {"", "W", "WU", "WUH"}) {
        EXPECT_EQ(Decode(shortText), "") << "nothing written below four characters";
    }
}

// Text as a user might paste it: mostly the alphabet, with '0', spaces, line
// breaks, digits and codes of 127 and more mixed in everywhere except the
// first place of a group (which would end the decoding).
std::string ArbitraryText(std::mt19937& rng, std::size_t m) {
    std::string s(m, '?');
    for (std::size_t k = 0; k < m; ++k) {
        const int kind = static_cast<int>(rng() % 10);
        int c = kind == 0   ? '0'
                : kind == 1 ? "\r\n 19;>?"[rng() % 8]
                : kind == 2 ? static_cast<int>(rng() % 256)
                            : 63 + static_cast<int>(rng() % 64);
        s[k] = static_cast<char>(k % 4 == 0 && c >= 127 ? c % 127 : c);
    }
    return s;
}

TEST_P(CodecTest, EqualsBuiltInForEveryLengthOnAnyInput) {
    std::mt19937 rng(9);
    std::vector<std::size_t> lengths(301);
    std::iota(lengths.begin(), lengths.end(), 0);
    lengths.insert(lengths.end(), {4094, 4095, 4096, 5460, 5461, 5462, 5463, 65535, 100000, 100001,
                                   100002, 100003});
    for (std::size_t n : lengths) {
        const std::string data = RandomBytes(rng, n);
        const std::string encoded = Encode(data);
        ASSERT_EQ(encoded, n == 0 ? "" : VBEncrypt::EncodePrintable(data)) << "length " << n;
        ASSERT_EQ(Decode(encoded).substr(0, n), data) << "length " << n;
        for (int round = 0; round < 3; ++round) {
            const std::string text = ArbitraryText(rng, n);
            ASSERT_EQ(Decode(text), ReferenceDecode(text)) << "length " << n;
        }
    }
    // Every code anywhere: most of these fail on a first character of 127 or
    // more, and both engines must agree on which do.
    for (std::size_t m = 0; m <= 64; ++m) {
        for (int round = 0; round < 50; ++round) {
            const std::string text = RandomBytes(rng, m);
            ASSERT_EQ(Decode(text), ReferenceDecode(text)) << "length " << m;
        }
    }
}

TEST_P(CodecTest, FirstCharacterOf127OrMoreInAnyGroupFailsTheWholeDecoding) {
    std::mt19937 rng(17);
    const std::string good = VBEncrypt::EncodePrintable(RandomBytes(rng, 300)); // 400
    ASSERT_EQ(Decode(good).size(), 300u);
    // Early, inside the vector loops, and in the tail.
    for (std::size_t g = 0; g < good.size() / 4; ++g) {
        for (int code : {127, 128, 200, 255}) {
            std::string bad = good;
            bad[4 * g] = static_cast<char>(code);
            EXPECT_EQ(Decode(bad), "") << "group " << g << " code " << code;
        }
    }
    EXPECT_EQ(Decode(good + "\x80\x80\x80"), Decode(good)) << "the tail is ignored";
}

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rc4, Rc4Test,
                         ::testing::Values(Engine{"core", fncrypt::Backend::Portable, false},
                                           Engine{"library", fncrypt::Backend::Portable, true}),
                         EngineName);

INSTANTIATE_TEST_SUITE_P(Backends, CodecTest,
                         ::testing::Values(Engine{"portable", fncrypt::Backend::Portable, false},
                                           Engine{"ssse3", fncrypt::Backend::Ssse3, false},
                                           Engine{"avx2", fncrypt::Backend::Avx2, false},
                                           Engine{"library", fncrypt::Backend::Portable, true}),
                         EngineName);

// ---- The C interface's own rules ----

TEST(FncryptlibApi, CountsAndBadArguments) {
    std::uint8_t in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t out[8] = {};
    EXPECT_EQ(InitCipher(in, 0, 0), -1);
    EXPECT_EQ(InitCipher(nullptr, 5, 0), -1);
    for (std::int32_t bad : {0, -5}) {
        EXPECT_EQ(CipherBuffer(in, bad, out), 0);
        EXPECT_EQ(EncodeText(in, bad, out), 0);
        EXPECT_EQ(DecodeText(in, bad, out), 0);
    }
    EXPECT_EQ(DecodeText(in, 3, out), 0);
    EXPECT_EQ(EncodeText(in, 5, nullptr), 0);
    EXPECT_EQ(DecodeText(nullptr, 8, out), 0);
}

TEST(FncryptlibApi, StreamRunsOnThroughCipherByteAndRejectedCalls) {
    const std::string key = "stream";
    const std::string expected = VBEncrypt::CipherString(std::string(40, 'q'), key);
    ASSERT_EQ(InitCipher(U8(key), static_cast<std::int32_t>(key.size()), 0), 0);
    const std::string qs(20, 'q');
    Bytes out(40);
    for (int k = 0; k < 10; ++k) {
        out[k] = CipherByte('q');
    }
    EXPECT_EQ(InitCipher(U8(key), 0, 0), -1);
    EXPECT_EQ(CipherBuffer(U8(qs), 0, out.data() + 10), 0);
    ASSERT_EQ(CipherBuffer(U8(qs), 20, out.data() + 10), 20);
    for (int k = 30; k < 40; ++k) {
        out[k] = CipherByte('q');
    }
    EXPECT_EQ(Text(out, 40), expected);
}

} // namespace
} // namespace hushnote
