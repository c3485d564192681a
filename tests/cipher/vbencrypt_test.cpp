// The built-in engine against known answers and its own rules: RC4, the
// printable encoding, secured text, and the code page at the engine's edges.
#include "cipher/VBEncrypt.h"
#include "common/codepage.h"
#include "common/color.h"
#include "common/vectors.h"
#include "test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace hushnote {
namespace {

using namespace VBEncrypt;
using test::FromHex;
using test::RandomBytes;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

TEST(Rc4, MatchesRfc6229) {
    for (const auto& v : test::kRfc6229) {
        const std::string stream = CipherString(std::string(v.offset + 16, '\0'), FromHex(v.key));
        EXPECT_EQ(stream.substr(v.offset), FromHex(v.stream)) << v.key << " @" << v.offset;
    }
}

TEST(Rc4, OnlyTheFirst256PasswordCharactersCount) {
    const std::string text(100, 'm');
    std::string a(256, 'k');
    EXPECT_EQ(CipherString(text, a), CipherString(text, a + "different tail"));
    std::string c = a;
    c[255] = 'x';
    EXPECT_NE(CipherString(text, a), CipherString(text, c)) << "the 256th character keys";
}

TEST(Printable, WorkedExamplesAndSecuredTextHeaders) {
    for (const auto& e : test::kPrintableExamples) {
        EXPECT_EQ(EncodePrintable(e.plain), e.encoded);
        EXPECT_EQ(DecodePrintable(e.encoded), e.decoded);
    }
    EXPECT_EQ(EncodeLengthHeader(0), "????????");
    EXPECT_EQ(SecureMessage("Hello", "pw").substr(0, 8), "???D????");
    EXPECT_EQ(SecureMessage(std::string(20000, 'x'), "pw").substr(0, 8), "?Cw_????");
    EXPECT_EQ(DecodedHeaderLength(DecodePrintable(EncodeLengthHeader(kMaxLength))), kMaxLength);
    EXPECT_EQ(SecureMessage("attack", "pw").substr(8),
              EncodePrintable(CipherString("attack", "pw")));
}

TEST(Printable, MalformedText) {
    for (const auto& e : test::kDecodeExamples) {
        EXPECT_EQ(DecodePrintable(e.text), e.decoded) << e.why;
    }
    // Fewer than four characters give as many spaces.
    for (std::string_view s : {"", "W", "WU", "WUH"}) {
        EXPECT_EQ(DecodePrintable(s), std::string(s.size(), ' '));
    }
}

TEST(SecureMessage, RoundTripsRandomMessagesAndPasswords) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<std::size_t> pwLen(1, 300);
    for (std::size_t n = 1; n <= 300; ++n) {
        const std::string msg = RandomBytes(rng, n);
        const std::string pw = RandomBytes(rng, pwLen(rng));
        ASSERT_EQ(DeSecureMessage(SecureMessage(msg, pw), pw), msg) << n;
    }
}

TEST(SecureMessage, InvalidArgumentsAreRefused) {
    KeyCipher("abc");
    const CipherState before = State();
    const std::function<void()> refused[] = {
        [] { KeyCipher(""); },
        [] { EncodePrintable(""); },
        [] { SecureMessage("", "pw"); },
        [] { SecureMessage("msg", ""); },
        [] { EncodeLengthHeader(kMaxLength + 1); },
        [] { codepage::Utf16ToCodes(u"ab\u4E2Dc"); },
    };
    for (const auto& f : refused) {
        EXPECT_EQ(test::FailureNumber(f), kErrInvalidArgument);
    }
    EXPECT_EQ(State().SBox, before.SBox) << "an empty password changed the state";
}

TEST(DeSecureMessage, MarkersAndMalformedText) {
    const std::string body = SecureMessage("abcdef", "pw").substr(8);
    struct Case {
        std::string text, password, expected;
    };
    std::vector<Case> cases = {
        {"", "pw", "ERR"},
        {"WU", "pw", "ERR"},
        {"WUH", "pw", "ERR2"},
        {"???D????", "pw", "ERR2"},
        {"\x80???????body", "pw", "ERR"},
        {EncodeLengthHeader(4) + body, "pw", "abcd"},
        {EncodeLengthHeader(1000) + body, "pw", "abcdef"},
        {EncodeLengthHeader(6) + body, "", ""},
    };
    // Secured text goes through the same decoding: a long header keeps all.
    for (const auto& e : test::kDecodeExamples) {
        cases.push_back(
            {EncodeLengthHeader(1000) + std::string(e.text), "pw", CipherString(e.decoded, "pw")});
    }
    for (const auto& c : cases) {
        EXPECT_EQ(DeSecureMessage(c.text, c.password), c.expected) << c.text;
    }
}

TEST(CodePage, AllCodesSurviveUnicodeRoundTrips) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    EXPECT_EQ(codepage::Utf16ToCodes(codepage::CodesToUtf16(all)), all);
    EXPECT_EQ(codepage::Utf8ToCodes(codepage::CodesToUtf8(all)), all);
    EXPECT_EQ(codepage::Utf8ToCodes("\u20AC \u2019 \u0178"), "\x80 \x92 \x9F");
    EXPECT_EQ(codepage::CodeToChar(0x81), 0x81u) << "unassigned codes map to C1 controls";
}

TEST(CodePage, CharacterOutsideIsNamedWithItsPosition) {
    EXPECT_THAT([] { codepage::Utf16ToCodes(u"ab\U0001F600c"); },
                ThrowsMessage<Failure>(HasSubstr("position 3")));
    EXPECT_THAT([] { codepage::Utf8ToCodes("caf\u00E9 \u4E2D"); },
                ThrowsMessage<Failure>(HasSubstr("\"\u4E2D\" (U+4E2D) at position 6")));
}

TEST(CodePage, MalformedUtf8IsRefused) {
    for (std::string bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "a\xFF", "\xE2\x82"}) {
        EXPECT_THROW(codepage::Utf8ToCodes(bad), Failure) << bad;
    }
}

TEST(Color, ComponentsInRedGreenBlueOrder) {
    EXPECT_EQ(MakeColor(0x12, 0x34, 0x56), 0x563412);
    EXPECT_EQ(ColorRed(0x563412), 0x12);
    EXPECT_EQ(ColorGreen(0x563412), 0x34);
    EXPECT_EQ(ColorBlue(0x563412), 0x56);
}

} // namespace
} // namespace hushnote
