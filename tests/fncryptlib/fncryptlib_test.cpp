// Every implementation of the cipher and the encoding held to the same known
// answers and to the built-in engine, which is the reference: VBEncrypt, each
// codec backend of the library (portable, SSSE3, AVX2 where the processor has
// it), and the shared library through its C interface.
#include "cipher/VBEncrypt.h"
#include "fncryptlib/fncrypt_core.h"
#include "fncryptlib/fncryptlib.h"
#include "support/test_util.h"
#include "support/vectors.h"

#include <gtest/gtest.h>

#include <numeric>
#include <ostream>

namespace hushnote {
namespace {

using test::FromHex;
using test::RandomBytes;
using Bytes = std::vector<std::uint8_t>;

enum class Kind { BuiltIn, Backend, Library };
struct Engine {
    const char* name;
    Kind kind;
    fncrypt::Backend backend = fncrypt::Backend::Portable;
};
void PrintTo(const Engine& e, std::ostream* os) {
    *os << e.name;
}

const std::uint8_t* U8(std::string_view s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}
std::int32_t I32(std::size_t n) {
    return static_cast<std::int32_t>(n);
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
        if (!fncrypt::Supported(GetParam().backend)) {
            GTEST_SKIP() << "this processor lacks " << GetParam().name;
        }
    }

    void Key(std::string_view k) {
        if (GetParam().kind == Kind::BuiltIn) {
            VBEncrypt::KeyCipher(k);
        } else if (GetParam().kind == Kind::Backend) {
            fncrypt::Rc4Key(rc4_, U8(k), k.size());
        } else {
            ASSERT_EQ(InitCipher(U8(k), I32(k.size()), 0), 0);
        }
    }

    // data XOR the running keystream, into a second buffer or in place.
    std::string Cipher(std::string_view data, bool inPlace = true) {
        Bytes in = Exact(data.size(), data), out = Exact(data.size());
        std::uint8_t* to = inPlace ? in.data() : out.data();
        if (GetParam().kind == Kind::BuiltIn) {
            std::copy(in.begin(), in.end(), to);
            VBEncrypt::CipherNextBytes(reinterpret_cast<char*>(to), data.size());
        } else if (GetParam().kind == Kind::Backend) {
            fncrypt::Rc4Apply(rc4_, in.data(), data.size(), to);
        } else {
            EXPECT_EQ(CipherBuffer(in.data(), I32(data.size()), to), I32(data.size()));
        }
        return Text(inPlace ? in : out, 0, data.size());
    }

    // Encodes or decodes into out, returning the count written as the C
    // functions do (the built-in decoder's spaces for short text are nothing).
    std::size_t Code(bool encode, const Bytes& in, Bytes& out) {
        if (GetParam().kind == Kind::BuiltIn) {
            const std::string s = Text(in, 0, in.size());
            const std::string r = s.empty()      ? ""
                                  : encode       ? VBEncrypt::EncodePrintable(s)
                                  : s.size() < 4 ? ""
                                                 : VBEncrypt::DecodePrintable(s);
            std::copy(r.begin(), r.end(), out.begin());
            return r.size();
        }
        if (GetParam().kind == Kind::Backend) {
            return (encode ? codec_.encode : codec_.decode)(in.data(), in.size(), out.data());
        }
        const auto r = (encode ? EncodeText : DecodeText)(in.data(), I32(in.size()), out.data());
        EXPECT_GE(r, 0);
        return static_cast<std::size_t>(r);
    }

    // Into a buffer of exactly the documented size, (n / 3 + 1) * 4; nothing
    // past the count may be written.
    std::string Encode(std::string_view data) {
        Bytes out = Exact((data.size() / 3 + 1) * 4);
        const std::size_t count = Code(true, Exact(data.size(), data), out);
        EXPECT_EQ(count, (data.size() + 2) / 3 * 4);
        EXPECT_EQ(Text(out, count, out.size() - count), std::string(out.size() - count, ' '));
        return Text(out, 0, count);
    }

    // Into a buffer of exactly m bytes; nothing past the whole groups' bytes
    // may be written, failure or not.
    std::string Decode(std::string_view text) {
        Bytes out = Exact(text.size());
        const std::size_t count = Code(false, Exact(text.size(), text), out);
        const std::size_t whole = text.size() / 4 * 3;
        EXPECT_LE(count, whole);
        EXPECT_EQ(Text(out, whole, out.size() - whole), std::string(out.size() - whole, ' '));
        return Text(out, 0, count);
    }

    fncrypt::Rc4 rc4_{};
    fncrypt::Codec codec_ = fncrypt::CodecFor(GetParam().backend);
};

// Known answers: RFC 6229, "Test Vectors for the Stream Cipher RC4".
TEST_P(EngineTest, Rc4MatchesRfc6229) {
    for (const auto& v : test::kRfc6229) {
        Key(FromHex(v.key));
        EXPECT_EQ(Cipher(std::string(v.offset + 16, '\0')).substr(v.offset), FromHex(v.stream))
            << v.key << " @" << v.offset;
    }
}

// Keys past 256 bytes (only the first 256 take part), and a keystream that
// runs on across calls of any size, 0 included.
TEST_P(EngineTest, Rc4EqualsBuiltInAcrossPiecesAndKeyLengths) {
    std::mt19937 rng(7);
    const std::string data = RandomBytes(rng, 9000);
    for (std::size_t keyLength : {1, 255, 256, 257, 300}) {
        const std::string key = RandomBytes(rng, keyLength);
        Key(key);
        std::string got;
        for (std::size_t at = 0, piece = 0, k = 0; at < data.size(); at += piece, ++k) {
            piece = std::min<std::size_t>(k % 7 == 0 ? 4000 : k % 41, data.size() - at);
            got += Cipher(data.substr(at, piece), k % 2 == 0);
        }
        EXPECT_EQ(got, VBEncrypt::CipherString(data, key)) << "key length " << keyLength;
    }
}

TEST_P(EngineTest, CodecKnownAnswers) {
    for (const auto& e : test::kPrintableExamples) {
        EXPECT_EQ(Encode(e.plain), e.encoded);
        EXPECT_EQ(Decode(e.encoded), e.decoded);
    }
    for (const auto& e : test::kDecodeExamples) {
        EXPECT_EQ(Decode(e.text), e.decoded) << e.why;
    }
    for (std::string_view shortText : {"", "W", "WU", "WUH"}) {
        EXPECT_EQ(Decode(shortText), "") << "nothing written below four characters";
    }
}

// Every length across the vector loops' boundaries, on bytes of any code and
// on text as a user might paste it ('0', spaces, line breaks, high codes
// anywhere but first in a group, where they end the decoding).
TEST_P(EngineTest, CodecEqualsBuiltInAtEveryLength) {
    std::mt19937 rng(9);
    std::vector<std::size_t> lengths(130);
    std::iota(lengths.begin(), lengths.end(), 0);
    lengths.insert(lengths.end(), {4095, 4096, 5460, 5461, 5462, 5463, 65535});
    for (std::size_t n : lengths) {
        const std::string data = RandomBytes(rng, n);
        const std::string encoded = Encode(data);
        ASSERT_EQ(encoded, n == 0 ? "" : VBEncrypt::EncodePrintable(data)) << n;
        ASSERT_EQ(Decode(encoded).substr(0, n), data) << n;
        std::string text(n, '?');
        for (std::size_t k = 0; k < n; ++k) {
            const unsigned r = rng() % 10;
            const unsigned c = r == 0   ? '0'
                               : r == 1 ? "\r\n 19;>?"[rng() % 8]
                               : r == 2 ? rng() % 256
                                        : 63 + rng() % 64;
            text[k] = static_cast<char>(k % 4 == 0 && c >= 127 ? c % 127 : c);
        }
        ASSERT_EQ(Decode(text), n < 4 ? "" : VBEncrypt::DecodePrintable(text)) << n;
    }
    const std::string good = VBEncrypt::EncodePrintable(RandomBytes(rng, 300));
    ASSERT_EQ(Decode(good).size(), 300u);
    for (std::size_t g = 0; g < good.size() / 4; ++g) {
        std::string bad = good;
        bad[4 * g] = static_cast<char>(127 + g % 129);
        EXPECT_EQ(Decode(bad), "") << "a first character of 127 or more in group " << g;
    }
    EXPECT_EQ(Decode(good + "\x80\x80\x80"), Decode(good)) << "the tail is ignored";
}

INSTANTIATE_TEST_SUITE_P(All, EngineTest,
                         ::testing::Values(Engine{"builtin", Kind::BuiltIn},
                                           Engine{"portable", Kind::Backend},
                                           Engine{"ssse3", Kind::Backend, fncrypt::Backend::Ssse3},
                                           Engine{"avx2", Kind::Backend, fncrypt::Backend::Avx2},
                                           Engine{"library", Kind::Library}),
                         [](const auto& info) { return std::string(info.param.name); });

// The C interface's own rules: bad arguments write nothing and return 0 (-1
// for a key), and CipherByte and a refused call leave the stream running on.
TEST(FncryptlibApi, BadArgumentsAndTheStreamThroughCipherByte) {
    std::uint8_t in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t out[8] = {};
    EXPECT_EQ(InitCipher(in, 0, 0), -1);
    EXPECT_EQ(InitCipher(nullptr, 5, 0), -1);
    for (std::int32_t bad : {0, -5}) {
        EXPECT_EQ(CipherBuffer(in, bad, out) + EncodeText(in, bad, out) + DecodeText(in, bad, out),
                  0);
    }
    EXPECT_EQ(DecodeText(in, 3, out) + EncodeText(in, 5, nullptr) + DecodeText(nullptr, 8, out), 0);

    const std::string key = "stream", qs(20, 'q');
    ASSERT_EQ(InitCipher(U8(key), I32(key.size()), 0), 0);
    Bytes got(40);
    for (int k = 0; k < 10; ++k) {
        got[k] = CipherByte('q');
    }
    EXPECT_EQ(InitCipher(U8(key), 0, 0), -1);
    ASSERT_EQ(CipherBuffer(U8(qs), 20, got.data() + 10), 20);
    for (int k = 30; k < 40; ++k) {
        got[k] = CipherByte('q');
    }
    EXPECT_EQ(Text(got, 0, 40), VBEncrypt::CipherString(std::string(40, 'q'), key));
}

} // namespace
} // namespace hushnote
