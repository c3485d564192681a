// Secured text: the header, round trips, and every malformed-input marker.
#include "cipher/VBEncrypt.h"
#include "common/error.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace hushnote {
namespace {

using namespace VBEncrypt;

TEST(SecureMessage, HeaderRecordsTheLength) {
    const std::string s = SecureMessage("Hello", "pw");
    EXPECT_EQ(s.size(), 16u);
    EXPECT_EQ(s.substr(0, 8), "???D????");
    EXPECT_EQ(SecureMessage(std::string(20000, 'x'), "pw").substr(0, 8), "?Cw_????");
    EXPECT_EQ(EncodeLengthHeader(0), "????????");
    EXPECT_EQ(DecodedHeaderLength(DecodePrintable(EncodeLengthHeader(kMaxLength))), kMaxLength);
}

TEST(SecureMessage, LayoutAndDeterminism) {
    std::mt19937 rng(4);
    const std::string msg = test::RandomBytes(rng, 100);
    const std::string s = SecureMessage(msg, "pw");
    EXPECT_EQ(s.size(), 8u + 4u * 34u);
    EXPECT_EQ(s.substr(4, 4), "????");
    EXPECT_EQ(
        s.find_first_not_of("?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~"),
        std::string::npos);
    EXPECT_EQ(s, SecureMessage(msg, "pw"));
    EXPECT_EQ(s.substr(8), EncodePrintable(CipherString(msg, "pw")));
}

TEST(SecureMessage, RoundTripsRandomMessagesAndPasswords) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<std::size_t> pwLen(1, 300);
    for (std::size_t n = 1; n <= 300; ++n) {
        const std::string msg = test::RandomBytes(rng, n);
        const std::string pw = test::RandomBytes(rng, pwLen(rng));
        ASSERT_EQ(DeSecureMessage(SecureMessage(msg, pw), pw), msg) << n;
    }
    EXPECT_EQ(DeSecureMessage(SecureMessage("ends in spaces   ", " "), " "), "ends in spaces   ");
}

TEST(SecureMessage, RefusesWhatCannotBeSecured) {
    for (auto [msg, pw] : {std::pair<std::string, std::string>{"", "pw"}, {"msg", ""}}) {
        try {
            SecureMessage(msg, pw);
            FAIL() << "secured '" << msg << "' with '" << pw << "'";
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), kErrInvalidArgument);
        }
    }
    EXPECT_THROW(EncodeLengthHeader(kMaxLength + 1), Failure);
}

TEST(DeSecureMessage, Markers) {
    EXPECT_EQ(DeSecureMessage("", "pw"), "ERR");
    EXPECT_EQ(DeSecureMessage("W", "pw"), "ERR");
    EXPECT_EQ(DeSecureMessage("WU", "pw"), "ERR");
    EXPECT_EQ(DeSecureMessage("WUH", "pw"), "ERR2");
    EXPECT_EQ(DeSecureMessage("???D????", "pw"), "ERR2");
    EXPECT_EQ(DeSecureMessage("\x80???????body", "pw"), "ERR") << "header fails before body";
}

TEST(DeSecureMessage, WrongOrEmptyPasswordAndBadBody) {
    const std::string s = SecureMessage("attack at dawn", "right");
    const std::string wrong = DeSecureMessage(s, "wrong");
    EXPECT_EQ(wrong.size(), 14u);
    EXPECT_NE(wrong, "attack at dawn");
    EXPECT_EQ(DeSecureMessage(s, ""), "");
    EXPECT_EQ(DeSecureMessage(s.substr(0, 8) + "\x90???", "right"), "") << "undecodable body";
}

TEST(DeSecureMessage, LengthHeaderCutsOrIsCapped) {
    const std::string s = SecureMessage("abcdef", "pw");
    EXPECT_EQ(DeSecureMessage(EncodeLengthHeader(4) + s.substr(8), "pw"), "abcd");
    EXPECT_EQ(DeSecureMessage(EncodeLengthHeader(1000) + s.substr(8), "pw"), "abcdef");
}

TEST(DeSecureMessage, ZerosForBarsAndJoinedLinesStillWork) {
    std::mt19937 rng(6);
    std::string s;
    std::string msg;
    while (s.find('|') == std::string::npos) {
        msg = test::RandomBytes(rng, 30);
        s = SecureMessage(msg, "pw");
    }
    ASSERT_NE(s.find('|'), std::string::npos);
    for (auto& c : s) {
        if (c == '|') {
            c = '0';
        }
    }
    EXPECT_EQ(DeSecureMessage(s, "pw"), msg);
    std::string broken = s.substr(0, 10) + "\n" + s.substr(10);
    EXPECT_NE(DeSecureMessage(broken, "pw"), msg) << "a lone line feed shifts the groups";
}

} // namespace
} // namespace hushnote
