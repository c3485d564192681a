// The guess that a de-secured message came from a wrong password, held
// against real words, and the shape that tells secured text from a message.
#include "cipher/Plausibility.h"
#include "cipher/VBEncrypt.h"
#include "common/codepage.h"
#include "common/error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace hushnote {
namespace {

using plausibility::IsSecuredText;
using plausibility::LooksLikeText;

TEST(LooksLikeText, ControlsAndHighCodes) {
    const std::string e5(5, '\xE9'), e6(6, '\xE9');
    const struct {
        std::string codes;
        bool text;
    } cases[] = {
        {"", true},
        {"Gr\xFC\xDF"
         "e aus K\xF6ln\r\n\tbis bald",
         true},
        // „Yes“ – he said… 100 € « oui »
        {"\x84Yes\x93 \x96 he said\x85 100\xA0\x80 \xABoui\xBB \x91ok\x92 \x97", true},
        {"\xE9t\xE9", true},
        {"abc\x01", false},
        {"abc\x1F", false},
        {"abc\x7F", false},
        {"abc\x81", false},
        {"abc\x8D", false},
        {"abc\x8F", false},
        {"abc\x90", false},
        {"abc\x9D", false},
        {std::string("abc\0", 4), false},
        // 2 + n / 4 codes of 128 and above pass, one more does not.
        {"aaaaaaa" + e5, true},
        {"aaaaaa" + e6, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LooksLikeText(c.codes), c.text) << c.codes;
    }
}

TEST(IsSecuredText, TheShapeOfSecuredText) {
    const std::string s = VBEncrypt::SecureMessage("hello there", "pw");
    std::string withZero = s;
    std::ranges::replace(withZero, '|', '0');
    const struct {
        std::string codes;
        bool secured;
    } cases[] = {
        {s, true},
        {s.substr(0, 5) + "\r\n" + s.substr(5, 7) + "\n" + s.substr(12) + "\r\n", true},
        {withZero, true},
        {VBEncrypt::SecureMessage("x", "pw"), true},
        {s.substr(0, s.size() - 4), false},
        {s + "ABCD", false},
        {s.substr(0, 8), false},
        {"????????", false},
        {VBEncrypt::EncodeLengthHeader(0) + "????", false},
        {s.substr(0, 4) + "?@??" + s.substr(8), false},
        {s.substr(0, 10) + " " + s.substr(11), false},
        {s.substr(0, 10) + ">" + s.substr(11), false},
        {"Hello, this is a message.", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSecuredText(c.codes), c.secured) << c.codes;
    }
}

// Words of one language each, in the code page; empty when a list is missing.
std::vector<std::vector<std::string>> WordLists() {
    std::vector<std::vector<std::string>> lists;
    for (const char* name : {"american-english", "ngerman", "french", "spanish"}) {
        std::ifstream in(std::filesystem::path("/usr/share/dict") / name);
        if (!in) {
            return {};
        }
        auto& words = lists.emplace_back();
        for (std::string line; std::getline(in, line);) {
            try {
                words.push_back(codepage::Utf8ToCodes(line));
            } catch (const Failure&) {
                // A word the code page cannot write is never in a message.
            }
        }
    }
    return lists;
}

// Random words of one random language, separated by spaces and now and then
// by a line break.
class Messages {
public:
    explicit Messages(std::vector<std::vector<std::string>> lists) : lists_(std::move(lists)) {}

    // 1 to 12 words.
    std::string Next() { return Words(1 + Pick(12), 0); }
    // Just enough words for minLength codes: noise is hardest to tell apart
    // when it is short.
    std::string AtLeast(std::size_t minLength) { return Words(1, minLength); }

private:
    std::string Words(std::size_t count, std::size_t minLength) {
        const auto& words = lists_[Pick(lists_.size())];
        std::string m;
        for (std::size_t i = 0; i < count || m.size() < minLength; ++i) {
            if (!m.empty()) {
                m += Pick(10) == 0 ? "\r\n" : " ";
            }
            m += words[Pick(words.size())];
        }
        return m;
    }
    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }

    std::vector<std::vector<std::string>> lists_;
    std::mt19937 rng_{12};
};

// No alarm on real messages; an alarm on nearly every message of 20 codes or
// more de-secured with another password than it was secured with.
TEST(LooksLikeText, RatesOnMessagesOfRealWords) {
    auto lists = WordLists();
    if (lists.empty()) {
        GTEST_SKIP() << "the word lists wamerican, wngerman, wfrench and wspanish are not "
                        "installed (scripts/install-deps.sh)";
    }
    Messages messages(std::move(lists));
    constexpr int kSample = 1000;
    int falseAlarms = 0;
    int hits = 0;
    for (int i = 0; i < kSample; ++i) {
        const std::string m = messages.Next();
        if (!LooksLikeText(m)) {
            ++falseAlarms;
            ADD_FAILURE() << "taken for noise: " << codepage::CodesToUtf8(m);
        }
        // One character more than the password it was secured with.
        const std::string password = messages.Next();
        const std::string secured = VBEncrypt::SecureMessage(messages.AtLeast(20), password);
        const std::string wrong = VBEncrypt::DeSecureMessage(secured, password + "!");
        hits += LooksLikeText(wrong) ? 0 : 1;
    }
    std::printf("false alarms %d of %d messages; wrong passwords told %d of %d (%.1f%%)\n",
                falseAlarms, kSample, hits, kSample, 100.0 * hits / kSample);
    EXPECT_EQ(falseAlarms, 0);
    EXPECT_GE(hits, kSample * 99 / 100);
}

} // namespace
} // namespace hushnote
