// The guess that a de-secured message came from a wrong password, held
// against real words, and the shape that tells secured text from a message.
#include "common/codepage.h"
#include "common/error.h"
#include "engine/Plausibility.h"
#include "engine/VBEncrypt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

namespace hushnote {
namespace {

using namespace plausibility;

TEST(LooksLikeText, ControlsAndHighCodes) {
    const std::string e5(5, '\xE9'), e6(6, '\xE9');
    const std::pair<std::string, bool> cases[] = {
        // clang-format off
        {"", true}, {"Gr\xFC\xDF" "e aus K\xF6ln\r\n\tbis bald", true}, {"\xE9t\xE9", true},
        // „Yes“ – he said… 100 € « oui »
        {"\x84Yes\x93 \x96 he said\x85 100\xA0\x80 \xABoui\xBB \x91ok\x92 \x97", true},
        {"abc\x01", false}, {"abc\x1F", false}, {"abc\x7F", false}, {"abc\x81", false},
        {"abc\x9D", false}, {std::string("abc\0", 4), false},
        // 2 + n / 4 codes of 128 and above pass, one more does not.
        {"aaaaaaa" + e5, true}, {"aaaaaa" + e6, false},
        // clang-format on
    };
    for (const auto& [codes, text] : cases) {
        EXPECT_EQ(LooksLikeText(codes), text) << codes;
    }
}

// A dropped file is judged by its header alone; "????????" holds a length of 0.
TEST(IsSecuredHeader, TheShapeOfAHeader) {
    const std::string s = VBEncrypt::SecureMessage("hello there", "pw");
    EXPECT_TRUE(IsSecuredHeader(s.substr(0, 8) + "\x01"));
    EXPECT_FALSE(IsSecuredHeader("????????plain"));
    EXPECT_FALSE(IsSecuredHeader(s.substr(0, 7)));
}

// No alarm on 1,000 messages of 1 to 12 random words of one language; an alarm
// on nearly every message of 20 codes or more de-secured with another password
// than it was secured with (just enough words: short noise is hardest to tell).
TEST(LooksLikeText, RatesOnMessagesOfRealWords) {
    std::vector<std::vector<std::string>> lists;
    for (const char* name : {"american-english", "ngerman", "french", "spanish"}) {
        std::ifstream in(std::string("/usr/share/dict/") + name);
        if (!in) {
            GTEST_SKIP() << "no word list " << name << " (scripts/install-deps.sh installs it)";
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
    std::mt19937 rng(12);
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    auto message = [&](std::size_t count, std::size_t minLength) {
        const auto& words = lists[pick(lists.size())];
        std::string m;
        for (std::size_t i = 0; i < count || m.size() < minLength; ++i) {
            m += m.empty() ? "" : pick(10) == 0 ? "\r\n" : " ";
            m += words[pick(words.size())];
        }
        return m;
    };
    constexpr int kSample = 1000;
    int hits = 0;
    for (int i = 0; i < kSample; ++i) {
        const std::string m = message(1 + pick(12), 0);
        EXPECT_TRUE(LooksLikeText(m)) << "taken for noise: " << codepage::CodesToUtf8(m);
        // One character more than the password it was secured with.
        const std::string password = message(1 + pick(12), 0);
        const std::string secured = VBEncrypt::SecureMessage(message(1, 20), password);
        hits += LooksLikeText(VBEncrypt::DeSecureMessage(secured, password + "!")) ? 0 : 1;
    }
    EXPECT_GE(hits, kSample * 99 / 100);
}

} // namespace
} // namespace hushnote
