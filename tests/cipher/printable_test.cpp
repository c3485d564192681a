// The printable 3-to-4 encoding: worked examples, malformed input, round trips.
#include "cipher/VBEncrypt.h"
#include "common/error.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace hushnote {
namespace {

using namespace VBEncrypt;

TEST(Printable, WorkedExamples) {
    EXPECT_EQ(EncodePrintable("abc"), "WUHb");
    EXPECT_EQ(EncodePrintable("Hello"), "QETkZE{_");
    EXPECT_EQ(EncodePrintable("a"), "WQ?_");
    EXPECT_EQ(DecodePrintable("WUHb"), "abc");
    EXPECT_EQ(DecodePrintable("WQ?_"), "a  ");
    EXPECT_EQ(DecodePrintable("QETkZE{_"), "Hello ");
}

TEST(Printable, EncodingUsesOnlyQuestionMarkToTilde) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    const std::string enc = EncodePrintable(all);
    EXPECT_EQ(enc.size(), 4u * ((all.size() + 2) / 3));
    for (char c : enc) {
        EXPECT_GE(c, '?');
        EXPECT_LE(c, '~');
    }
    EXPECT_EQ(EncodePrintable(std::string(6, '\0')), "????????") << "a multiple of 3 gets no fill";
}

TEST(Printable, EncodingNothingIsAnInvalidArgument) {
    try {
        EncodePrintable("");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), kErrInvalidArgument);
    }
}

TEST(Printable, ShortAndTrailingInput) {
    EXPECT_EQ(DecodePrintable(""), "");
    EXPECT_EQ(DecodePrintable("W"), " ");
    EXPECT_EQ(DecodePrintable("WU"), "  ");
    EXPECT_EQ(DecodePrintable("WUH"), "   ");
    EXPECT_EQ(DecodePrintable("WUHbW"), "abc");
    EXPECT_EQ(DecodePrintable("WUHbWUH"), "abc");
}

TEST(Printable, ZeroReadsAsBar) {
    const std::string enc = "|~|~A|||W||b";
    std::string zeros = enc;
    for (auto& c : zeros) {
        if (c == '|') {
            c = '0';
        }
    }
    ASSERT_NE(zeros, enc);
    EXPECT_EQ(DecodePrintable(zeros), DecodePrintable(enc));
}

TEST(Printable, CharactersBelowQuestionMarkCountAsZero) {
    // Space, digits 1-9, CR and LF all read as "?" (value 0).
    for (char c : std::string(" 19\r\n!")) {
        std::string s = "????";
        s[1] = c;
        EXPECT_EQ(DecodePrintable(s), std::string(3, '\0')) << int(c);
    }
}

TEST(Printable, LineBreakInsideShiftsLaterGroups) {
    const std::string enc = EncodePrintable("abcdef");
    const std::string broken = enc.substr(0, 2) + "\r\n" + enc.substr(2);
    const std::string dec = DecodePrintable(broken);
    EXPECT_NE(dec.substr(0, 6), "abcdef");
    EXPECT_EQ(DecodePrintable(enc), "abcdef");
}

TEST(Printable, FirstCharacterOf127OrMoreEmptiesEverything) {
    EXPECT_EQ(DecodePrintable("WUHb\x7F???"), "") << "even when earlier groups were good";
    EXPECT_EQ(DecodePrintable("\xFF???"), "");
    EXPECT_EQ(DecodePrintable("~???").size(), 3u) << "126 is still a value";
    // In the other places such codes do not fail; they give what the formulas give.
    EXPECT_EQ(DecodePrintable("?\xFF\xFF\xFF"), std::string("\0\0\xC0", 3));
}

TEST(Printable, RoundTripOfEveryLengthAddsOnlyFill) {
    std::mt19937 rng(3);
    for (std::size_t n = 1; n <= 400; ++n) {
        const std::string s = test::RandomBytes(rng, n);
        const std::string back = DecodePrintable(EncodePrintable(s));
        ASSERT_EQ(back.substr(0, n), s) << n;
        EXPECT_EQ(back.substr(n), std::string((3 - n % 3) % 3, ' ')) << n;
    }
}

} // namespace
} // namespace hushnote
