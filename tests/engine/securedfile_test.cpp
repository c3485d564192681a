// A secured file read from memory, as the page reads it: which bytes make it
// "not a secured file", and the words every program shows for an outcome.
#include "engine/SecuredFile.h"
#include "engine/VBEncrypt.h"
#include "engine/Words.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace hushnote {
namespace {

// Every byte value, put into the header (byte 3) and into the body (byte 13)
// of a sound secured file: refused with its place and value, skipped as a
// line break, or read as secured text ("0" as "|").
TEST(SecuredFileReader, EveryByteClass) {
    const std::string secured = VBEncrypt::SecureMessage("a message of some length", "pw");
    const std::string sound = ReadSecuredFile(secured).ciphered;
    enum Kind { Foreign, LineBreak, Secured };
    // clang-format off
    const struct { int first, last; Kind kind; } classes[] = {
        {0x00, 0x09, Foreign}, {0x0A, 0x0A, LineBreak}, {0x0B, 0x0C, Foreign}, {0x0D, 0x0D, LineBreak},
        {0x0E, 0x2F, Foreign}, {0x30, 0x30, Secured}, {0x31, 0x3E, Foreign}, {0x3F, 0x7E, Secured},
        {0x7F, 0x7F, Foreign}, {0x80, 0xFF, Foreign},
    };
    // clang-format on
    int covered = 0;
    for (const auto& c : classes) {
        for (int b = c.first; b <= c.last; ++b, ++covered) {
            for (const std::size_t at : {std::size_t{2}, std::size_t{12}}) {
                const std::string file = std::string(secured).insert(at, 1, static_cast<char>(b));
                const SecuredFileBody r = ReadSecuredFile(file);
                char says[64];
                std::snprintf(says, sizeof says,
                              "byte %zu is 0x%02X, which secured text never holds", at + 1,
                              static_cast<unsigned>(b));
                SCOPED_TRACE(says);
                EXPECT_EQ(r.result.outcome == DeSecureOutcome::NotSecured, c.kind == Foreign);
                EXPECT_EQ(r.result.reason, c.kind == Foreign ? says : "");
                EXPECT_TRUE(c.kind != Foreign || r.ciphered.empty());
                EXPECT_TRUE(c.kind != LineBreak || r.ciphered == sound);
            }
        }
    }
    EXPECT_EQ(covered, 256);
}

// Read from memory as the file layer reads it: cut, padded, empty, and a body
// of 1 to 3 characters, read as secured text reads it (as many spaces).
TEST(SecuredFileReader, WholeCutShortAndUnreadable) {
    const std::string secured = VBEncrypt::SecureMessage("hello world", "pw");
    const std::string whole = ReadSecuredFile(secured).ciphered;
    EXPECT_EQ(VBEncrypt::CipherString(whole, "pw"), "hello world");
    using enum DeSecureOutcome;
    // clang-format off
    const struct { std::string file; DeSecureOutcome outcome; std::string ciphered; std::int64_t recovered = 0; } cases[] = {
        {secured.substr(0, 8 + 8), Damaged, whole.substr(0, 6), 6},
        {secured + "????", Done, whole},
        {VBEncrypt::EncodeLengthHeader(3) + "AB", Damaged, "  ", 2},
        {VBEncrypt::EncodeLengthHeader(1) + "\nAB\n", Done, " "},
        {"", NotSecured, ""},
        {"WU", NotSecured, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        const SecuredFileBody r = ReadSecuredFile(c.file);
        EXPECT_EQ(r.result.outcome, c.outcome) << c.file;
        EXPECT_EQ(r.result.recovered, c.recovered) << c.file;
        EXPECT_EQ(r.ciphered, c.ciphered) << c.file;
    }
}

// The same outcome in a terminal's line and in a window's box.
TEST(Words, FileOutcomesInEveryStyle) {
    const words::Style box{.sentenceBreak = "\r\n\r\n",
                           .count = [](long long n) { return std::to_string(n); }};
    DeSecureResult notSecured{DeSecureOutcome::NotSecured, "byte 1 is 0x20", 0, 0};
    const DeSecureResult damaged{DeSecureOutcome::Damaged, "", 12345, 1234};
    EXPECT_EQ(words::FileOutcome(notSecured, "\"in\"", "\"out\""),
              "\"in\" is not a secured file: byte 1 is 0x20. Nothing was written.");
    notSecured.reason.clear();
    EXPECT_EQ(words::FileOutcome(notSecured, "\"in\"", "\"out\"", box),
              "\"in\" is not a secured file.\r\n\r\nNothing was written.");
    EXPECT_EQ(words::FileOutcome(damaged, "\"in\"", "\"out\""),
              "\"in\" is damaged: it holds 1,234 of the 12,345 bytes its header gives. Those were "
              "written to \"out\".");
    EXPECT_EQ(words::FileOutcome(damaged, "i", "o", box),
              "i is damaged: it holds 1234 of the 12345 bytes its header gives.\r\n\r\nThose were "
              "written to o.");
    EXPECT_EQ(words::FileOutcome({}, "i", "o"), "");
    EXPECT_EQ(FormatErrorMessage({53, "File not found."}, ": "), "Error #53: File not found.");
}

} // namespace
} // namespace hushnote
