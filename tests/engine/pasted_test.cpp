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

// text broken into lines of width characters, each line given prefix.
std::string Wrapped(std::string_view text, std::size_t width, std::string_view prefix = "",
                    std::string_view lineBreak = "\n") {
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += width) {
        out += prefix;
        out += text.substr(i, width);
        out += lineBreak;
    }
    return out;
}

TEST(PastedText, EverydayTripsGiveTheSecuredTextBack) {
    const std::string s = Secured(500);
    const struct {
        std::string name, pasted;
    } trips[] = {
        {"as it was", s},
        {"blank lines and a tab around it", "\n \n\t" + s + "  \n\n"},
        {"mail wrapping, CR LF", Wrapped(s, 76, "", "\r\n")},
        {"blanks at line ends, four-blank indent", Wrapped(s, 64, "    ", "  \n")},
        {"quoted at every line", Wrapped(s, 72, "> ")},
        {"quoted twice, two ways",
         Wrapped(s.substr(0, 280), 70, ">> ") + Wrapped(s.substr(280), 60, "> > ")},
        {"no-break and zero-width spaces, soft hyphens, a byte order mark",
         "\xEF\xBB\xBF" + s.substr(0, 10) + "\xC2\xA0" + s.substr(10, 10) + "\xE2\x80\x8B" +
             s.substr(20, 10) + "\xC2\xAD" + s.substr(30, 10) + "\xE2\x81\xA0" + s.substr(40)},
        {"NEL and the Unicode separators", s.substr(0, 100) + "\xC2\x85" + s.substr(100, 100) +
                                               "\xE2\x80\xA8" + s.substr(200, 100) +
                                               "\xE2\x80\xA9" + s.substr(300)},
        {"a backtick fence", "```\n" + s + "\n```\n"},
        {"a tilde fence with a language, quoted", "> ~~~~ text\n> " + s + "\n> ~~~~"},
        {"a fence left open", "```plaintext\n" + Wrapped(s, 80)},
        {"a tilde fence after a byte order mark, an invisible space at its ends",
         "\xEF\xBB\xBF~~~ text\xE2\x80\x8B\n" + s + "\n~~~\xC2\xA0"},
        {"inline code", "`" + s + "`"},
    };
    for (const auto& trip : trips) {
        SCOPED_TRACE(trip.name);
        const Reading r = FindSecuredText(trip.pasted);
        EXPECT_EQ(r.fit, Fit::Whole);
        EXPECT_EQ(r.text, s);
    }
    // Old decoders read "0" as "|"; the text found holds "|".
    const std::size_t bar = s.find('|');
    ASSERT_NE(bar, std::string::npos);
    std::string withZero = s;
    withZero[bar] = '0';
    EXPECT_EQ(FindSecuredText(withZero).text, s);
}

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
        {"a header alone", s.substr(0, 8), Fit::NotSecured, 0},
        {"prose", "Hello, see you at eight?", Fit::NotSecured, 0},
        {"a quote marker inside a line", s.substr(0, 100) + ">" + s.substr(100), Fit::NotSecured,
         0},
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

TEST(PastedText, ChatFormIsFencedAndFoundAgain) {
    const std::string s = Secured(40);
    EXPECT_EQ(ChatForm(s), "```\n" + s + "\n```");
    EXPECT_EQ(FindSecuredText(ChatForm(s)).text, s);
}

} // namespace
} // namespace hushnote::pasted
