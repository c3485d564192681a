// The single-byte code page at the edges of the engine.
#include "common/codepage.h"
#include "common/color.h"
#include "common/error.h"

#include <gtest/gtest.h>

namespace hushnote {
namespace {

using namespace codepage;

TEST(CodePage, AllCodesSurviveUnicodeRoundTrips) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    EXPECT_EQ(Utf16ToCodes(CodesToUtf16(all)), all);
    EXPECT_EQ(Utf8ToCodes(CodesToUtf8(all)), all);
}

TEST(CodePage, Windows1252Specials) {
    EXPECT_EQ(CodesToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(Utf8ToCodes("\u20AC \u2019 \u0178"), "\x80 \x92 \x9F");
    EXPECT_EQ(CodeToChar(0x81), 0x81u) << "unassigned codes map to C1 controls";
    EXPECT_EQ(CodeToChar(0xE9), 0xE9u);
}

TEST(CodePage, CharacterOutsideIsAFailureThatNamesIt) {
    for (auto text : {std::u16string(u"ab\u4E2Dc"), std::u16string(u"ab\U0001F600c")}) {
        try {
            Utf16ToCodes(text);
            FAIL();
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), kErrInvalidArgument);
            EXPECT_NE(f.description().find("position 3"), std::string::npos) << f.description();
            EXPECT_NE(f.description().find("U+"), std::string::npos);
        }
    }
    try {
        Utf8ToCodes("caf\u00E9 \u4E2D");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_NE(f.description().find("\"\u4E2D\" (U+4E2D) at position 6"), std::string::npos)
            << f.description();
    }
}

TEST(CodePage, MalformedUtf8IsRefused) {
    for (std::string bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "a\xFF", "\xE2\x82"}) {
        EXPECT_THROW(Utf8ToCodes(bad), Failure) << bad;
    }
}

TEST(Color, ComponentsRoundTrip) {
    constexpr ColorValue purple = MakeColor(128, 0, 128);
    static_assert(purple == 0x800080);
    static_assert(MakeColor(255, 0, 0) == 255);
    static_assert(MakeColor(0, 0, 255) == 0xFF0000);
    EXPECT_EQ(ColorRed(MakeColor(1, 2, 3)), 1);
    EXPECT_EQ(ColorGreen(MakeColor(1, 2, 3)), 2);
    EXPECT_EQ(ColorBlue(MakeColor(1, 2, 3)), 3);
}

} // namespace
} // namespace hushnote
