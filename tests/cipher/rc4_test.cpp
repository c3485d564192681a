// RC4 of the built-in engine against published vectors and its own rules.
#include "cipher/VBEncrypt.h"
#include "common/error.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace hushnote {
namespace {

using test::FromHex;
using namespace VBEncrypt;

std::string Keystream(std::string_view key, std::size_t n) {
    return CipherString(std::string(n, '\0'), key);
}

struct Rfc6229Vector {
    const char* key;
    std::size_t offset;
    const char* stream;
};

// RFC 6229, "Test Vectors for the Stream Cipher RC4", section 2: keystream
// bytes at the given offsets for the 40-bit and the 128-bit key.
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
    {"0102030405060708090a0b0c0d0e0f10", 4080, "ff 38 26 5c 16 42 c1 ab e8 d3 c2 fe 5e 57 2b f8"},
};

TEST(Rc4, MatchesRfc6229Keystream) {
    for (const auto& v : kRfc6229) {
        const std::string stream = Keystream(FromHex(v.key), v.offset + 16);
        EXPECT_EQ(stream.substr(v.offset), FromHex(v.stream))
            << "key " << v.key << " offset " << v.offset;
    }
}

TEST(Rc4, ClassicTextKeyVector) {
    // The widely published "Key" / "Plaintext" example.
    EXPECT_EQ(CipherString("Plaintext", "Key"), FromHex("bbf316e8d940af0ad3"));
}

TEST(Rc4, CipheringTwiceRestoresAndEveryCallStartsAfresh) {
    std::mt19937 rng(1);
    const std::string text = test::RandomBytes(rng, 1000);
    const std::string once = CipherString(text, "pass word");
    EXPECT_EQ(once, CipherString(text, "pass word"));
    EXPECT_EQ(CipherString(once, "pass word"), text);
    EXPECT_NE(once, text);
}

TEST(Rc4, EmptyPasswordOrTextGivesEmptyResult) {
    EXPECT_EQ(CipherString("some text", ""), "");
    EXPECT_EQ(CipherString("", "pw"), "");
}

TEST(Rc4, OnlyTheFirst256PasswordCharactersCount) {
    std::string a(256, 'k');
    std::string b = a + "different tail";
    EXPECT_EQ(CipherString("message", a), CipherString("message", b));
    std::string c = a;
    c[0] = 'x';
    EXPECT_NE(CipherString("message", a), CipherString("message", c));
    c[255] = 'y';
    KeyCipher(c);
    EXPECT_EQ(State().KeyTable[255], 'y') << "the 256th character still keys";
}

TEST(Rc4, OneCharacterPasswordRepeatsOverKeyTable) {
    KeyCipher("Z");
    for (auto k : State().KeyTable) {
        EXPECT_EQ(k, 'Z');
    }
    KeyCipher(std::string(1, '\xE9'));
    EXPECT_EQ(State().KeyTable[17], 0xE9) << "codes above 127 key as themselves, not negative";
}

TEST(Rc4, ByteByByteEqualsWholeStringAndKeyingRestarts) {
    std::mt19937 rng(2);
    const std::string text = test::RandomBytes(rng, 5000);
    const std::string whole = CipherString(text, "secret");
    CipherString("unrelated", "other"); // leave the state somewhere else
    KeyCipher("secret");
    std::string pieces;
    for (char c : text) {
        pieces += static_cast<char>(CipherNextByte(static_cast<std::uint8_t>(c)));
    }
    EXPECT_EQ(pieces, whole);
}

TEST(Rc4, EmptyPasswordIsRejectedBeforeTheStateChanges) {
    KeyCipher("abc");
    const CipherState before = State();
    try {
        KeyCipher("");
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), kErrInvalidArgument);
    }
    EXPECT_EQ(State().SBox, before.SBox);
    EXPECT_EQ(State().KeyTable, before.KeyTable);
}

TEST(Rc4, WipeStateLeavesNothingKeyDependent) {
    CipherString("message", "password");
    WipeState();
    for (int k = 0; k < 256; ++k) {
        EXPECT_EQ(State().SBox[k], 0);
        EXPECT_EQ(State().KeyTable[k], 0);
    }
    EXPECT_EQ(State().StreamI, 0);
    EXPECT_EQ(State().StreamJ, 0);
}

} // namespace
} // namespace hushnote
