// Finding secured text in what a mail or a chat gave back.
#include "engine/PastedText.h"
#include "engine/VBEncrypt.h"

#include <gtest/gtest.h>

#include <string>

namespace hushnote::pasted {
namespace {

constexpr std::string_view kPassword = "tea at five";

// Secured text of a message of n codes.
std::string Secured(std::size_t n) {
    std::string message(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        message[i] = static_cast<char>('a' + i % 26);
    }
    return VBEncrypt::SecureMessage(message, kPassword);
}

// What a mail or a chat adds around secured text is in the table of trips
// that hushnote-cli and the page run, and in the paste reader's fuzz target;
// here, what only the length check decides.

// "`" and "~" are secured characters: a wrapped text may end in a line that
// looks like a fence, and only the length tells it from one.
TEST(PastedText, AFenceIsTakenOffOnlyWhenTheTextFitsWithoutIt) {
    // Cipher bytes 3, 255, 255 at the end encode as "~~~"; deciphering them
    // first gives the message that secures to them.
    std::string cipher(30, 'x');
    cipher.replace(27, 3, "\x03\xff\xff");
    const std::string message = VBEncrypt::CipherString(cipher, kPassword);
    const std::string s = VBEncrypt::SecureMessage(message, kPassword);
    ASSERT_EQ(s.substr(s.size() - 3), "~~~");
    const std::string lastLineLooksLikeAFence = s.substr(0, s.size() - 3) + "\n~~~\n";
    for (const std::string& pasted : {lastLineLooksLikeAFence, "~~~\n" + lastLineLooksLikeAFence,
                                      "```\n" + lastLineLooksLikeAFence + "```"}) {
        const Reading r = FindSecuredText(pasted);
        EXPECT_EQ(r.fit, Fit::Whole) << pasted;
        EXPECT_EQ(r.text, s) << pasted;
    }
}

TEST(PastedText, ChangedTextIsToldAndOtherTextIsNotSecured) {
    const std::string s = Secured(300);
    const std::int64_t expected = static_cast<std::int64_t>(s.size());
    std::string dropped = s;
    dropped.erase(150, 1);
    std::string withBackslash = s;
    withBackslash.insert(200, "\\");
    const struct {
        std::string name, pasted;
        Fit fit;
        std::int64_t difference;
    } rows[] = {
        {"one character dropped in the middle", dropped, Fit::Short, -1},
        {"the last character dropped", s.substr(0, s.size() - 1), Fit::Short, -1},
        {"a character added", withBackslash, Fit::Long, 1},
        {"a fence whose inside lost a character", "```\n" + dropped + "\n```", Fit::Short, -1},
        {"cut in half", s.substr(0, s.size() / 2 + 4), Fit::Short, 4 - expected / 2},
        {"cut to a third", s.substr(0, s.size() / 3), Fit::NotSecured, 0},
        {"two texts run together", s + s, Fit::NotSecured, 0},
        {"a header whose zero codes are not", "?????@??" + s.substr(8), Fit::NotSecured, 0},
        {"nothing", " \n> \n", Fit::NotSecured, 0},
        {"bytes that are not UTF-8", s + "\xff", Fit::NotSecured, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Reading r = FindSecuredText(row.pasted);
        EXPECT_EQ(r.fit, row.fit);
        if (row.fit == Fit::NotSecured) {
            EXPECT_TRUE(r.text.empty());
        } else {
            EXPECT_EQ(r.expected, expected);
            EXPECT_EQ(r.Difference(), row.difference);
        }
    }
}

} // namespace
} // namespace hushnote::pasted
