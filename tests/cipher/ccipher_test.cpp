// The cipher object: mode selection and the library-backed string operations.
#include "cipher/CCipher.h"
#include "cipher/VBEncrypt.h"
#include "common/error.h"
#include "test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace hushnote {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class RecordingEvents : public CipherEvents {
public:
    void ShowLibraryError(const std::string& text) override { messages.push_back(text); }
    bool ReportProgress(std::int64_t remaining, std::int64_t) override {
        progress.push_back(remaining);
        return true;
    }
    std::vector<std::string> messages;
    std::vector<std::int64_t> progress;
};

std::filesystem::path EmptyFolder() {
    auto dir = std::filesystem::temp_directory_path() / "hushnote-no-library";
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(CCipherMode, LibraryBesideTheProgramIsUsed) {
    RecordingEvents events;
    CCipher c(&events);
    EXPECT_EQ(c.DLLMode(), 0) << "a fresh object assumes the library";
    EXPECT_EQ(c.Initilize("x", 0), 0);
    EXPECT_EQ(c.DLLMode(), 0);
    EXPECT_TRUE(events.messages.empty());
}

TEST(CCipherMode, MissingLibraryIsMode1WithoutAMessage) {
    RecordingEvents events;
    CCipher c(&events, EmptyFolder());
    EXPECT_EQ(c.Initilize("x", 0), 1);
    EXPECT_EQ(c.DLLMode(), 1);
    EXPECT_TRUE(events.messages.empty());
}

TEST(CCipherMode, BrokenLibraryIsMode2AndToldEveryTime) {
    RecordingEvents events;
    CCipher c(&events, HUSHNOTE_BROKEN_LIBRARY_DIR);
    EXPECT_EQ(c.Initilize("x", 0), 2);
    EXPECT_EQ(c.DLLMode(), 2);
    ASSERT_EQ(events.messages.size(), 1u);
    EXPECT_THAT(events.messages[0], StartsWith("Error #453\r\n\r\n"));
    EXPECT_THAT(events.messages[0], HasSubstr("CipherBuffer"));
    c.Initilize("x", 0);
    EXPECT_EQ(events.messages.size(), 2u);
}

TEST(CCipherMode, RelativeFolderIsNeverSearched) {
    CCipher c(nullptr, "relative/folder");
    EXPECT_EQ(c.Initilize("x", 0), 1);
}

TEST(CCipherMode, LibraryFailuresReachTheCallerAsErrorValues) {
    FNCryptLib missing(EmptyFolder());
    try {
        missing.InitCipher("x", 0);
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), kErrLibraryLoad);
        EXPECT_THAT(f.description(), HasSubstr("libfncryptlib.so"));
    }
    FNCryptLib broken(HUSHNOTE_BROKEN_LIBRARY_DIR);
    try {
        broken.InitCipher("x", 0);
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), kErrEntryPoint);
    }
}

TEST(CCipherStrings, CipherContinuesTheKeystream) {
    std::mt19937 rng(7);
    const std::string text = test::RandomBytes(rng, 999);
    CCipher c;
    c.Initilize("key", 0);
    const std::string whole = c.Cipher(text);
    c.Initilize("key", 0);
    std::string halves = c.Cipher(text.substr(0, 400));
    halves += c.Cipher(text.substr(400));
    EXPECT_EQ(whole, halves);
    EXPECT_EQ(whole, VBEncrypt::CipherString(text, "key"));
    EXPECT_EQ(c.Cipher(""), "");
}

TEST(CCipherStrings, SecureStringMatchesTheBuiltInEngine) {
    std::mt19937 rng(8);
    CCipher c;
    for (std::size_t n = 1; n <= 60; ++n) {
        const std::string msg = test::RandomBytes(rng, n);
        const std::string s = c.SecureString(msg, "pw");
        ASSERT_EQ(s, VBEncrypt::SecureMessage(msg, "pw")) << n;
        ASSERT_EQ(c.DeSecureString(s, "pw"), msg);
    }
    EXPECT_EQ(c.SecureString("123456", "pw").size(), 16u);
    EXPECT_EQ(c.SecureString("1234567", "pw").size(), 20u);
    EXPECT_EQ(c.SecureString("", "pw"), "????????");
}

TEST(CCipherStrings, DeSecureStringMarkers) {
    CCipher c;
    EXPECT_EQ(c.DeSecureString("", "pw"), "ERR");
    EXPECT_EQ(c.DeSecureString("WUH", "pw"), "ERR");
    EXPECT_EQ(c.DeSecureString("???D????", "pw"), "ERR2");
    const std::string s = VBEncrypt::SecureMessage("abcdef", "pw");
    EXPECT_EQ(c.DeSecureString(VBEncrypt::EncodeLengthHeader(100) + s.substr(8), "pw"), "abcdef");
}

TEST(CCipherStrings, StringOperationsNeedTheLibrary) {
    CCipher c(nullptr, EmptyFolder());
    EXPECT_THROW(c.SecureString("msg", "pw"), Failure);
    EXPECT_THROW(c.DeSecureString("????????????", "pw"), Failure);
}

} // namespace
} // namespace hushnote
