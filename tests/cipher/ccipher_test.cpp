// Secured text from both engines, the code page at the engine's edges, and how
// the cipher object picks its mode. Known answers for the cipher and the
// encoding are in tests/fncryptlib, held against every engine.
#include "cipher/CCipher.h"
#include "cipher/VBEncrypt.h"
#include "common/codepage.h"
#include "support/test_util.h"
#include "support/vectors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using namespace VBEncrypt;
using test::FailureNumber;
using test::TempDir;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using ::testing::ThrowsMessage;

fs::path EmptyFolder() {
    auto dir = fs::temp_directory_path() / "hushnote-no-library";
    fs::create_directories(dir);
    return dir;
}

TEST(SecuredText, HeadersAndPartialGroups) {
    EXPECT_EQ(EncodeLengthHeader(0), "????????");
    EXPECT_EQ(SecureMessage("Hello", "pw").substr(0, 8), "???D????");
    EXPECT_EQ(SecureMessage(std::string(20000, 'x'), "pw").substr(0, 8), "?Cw_????");
    EXPECT_EQ(DecodedHeaderLength(DecodePrintable(EncodeLengthHeader(kMaxLength))), kMaxLength);
    for (std::string_view s : {"", "W", "WU", "WUH"}) {
        EXPECT_EQ(DecodePrintable(s), std::string(s.size(), ' '));
    }
    for (std::size_t n = 1; n <= 7; ++n) {
        const std::string msg = std::string("message").substr(0, n);
        EXPECT_EQ(SecureMessage(msg, "pw").substr(8), EncodePrintable(CipherString(msg, "pw")));
        EXPECT_EQ(DeSecureMessage(SecureMessage(msg, "pw"), "pw"), msg);
    }
}

TEST(SecuredText, InvalidArgumentsAreRefusedBeforeTheStateChanges) {
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
        EXPECT_EQ(FailureNumber(f), kErrInvalidArgument);
    }
    EXPECT_EQ(State().SBox, before.SBox) << "an empty password changed the state";
}

TEST(SecuredText, OutcomesAndMarkers) {
    const std::string body = SecureMessage("abcdef", "pw").substr(8);
    struct Case {
        std::string text, password, shown;
        TextOutcome outcome = TextOutcome::Message;
    };
    std::vector<Case> cases = {
        {"", "pw", "ERR", TextOutcome::UnreadableHeader},
        {"WU", "pw", "ERR", TextOutcome::UnreadableHeader},
        {"\x80???????body", "pw", "ERR", TextOutcome::UnreadableHeader},
        {"WUH", "pw", "ERR2", TextOutcome::NoBody},
        {"???D????", "pw", "ERR2", TextOutcome::NoBody},
        {"???D????\x80???", "pw", "", TextOutcome::UnreadableBody},
        {EncodeLengthHeader(4) + body, "pw", "abcd"},
        {EncodeLengthHeader(1000) + body, "pw", "abcdef"},
        {EncodeLengthHeader(6) + body, "", ""},
    };
    // Secured text goes through the same decoding: a long header keeps all.
    for (const auto& e : test::kDecodeExamples) {
        cases.push_back({EncodeLengthHeader(1000) + std::string(e.text), "pw",
                         CipherString(e.decoded, "pw"),
                         e.decoded.empty() ? TextOutcome::UnreadableBody : TextOutcome::Message});
    }
    for (const auto& c : cases) {
        EXPECT_EQ(DeSecureMessage(c.text, c.password), c.shown) << c.text;
        EXPECT_EQ(DeSecure(c.text, c.password).outcome, c.outcome) << c.text;
    }
}

TEST(CodePage, EveryCodeRoundTripsAndOthersAreNamed) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    EXPECT_EQ(codepage::Utf16ToCodes(codepage::CodesToUtf16(all)), all);
    EXPECT_EQ(codepage::Utf8ToCodes(codepage::CodesToUtf8(all)), all);
    EXPECT_EQ(codepage::Utf8ToCodes("\u20AC \u2019 \u0178"), "\x80 \x92 \x9F");
    EXPECT_EQ(codepage::CodeToChar(0x81), 0x81u) << "unassigned codes map to C1 controls";
    EXPECT_THAT([] { codepage::Utf16ToCodes(u"ab\U0001F600c"); },
                ThrowsMessage<Failure>(HasSubstr("position 3")));
    EXPECT_THAT([] { codepage::Utf8ToCodes("caf\u00E9 \u4E2D"); },
                ThrowsMessage<Failure>(HasSubstr("\"\u4E2D\" (U+4E2D) at position 6")));
    for (std::string bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "a\xFF", "\xE2\x82"}) {
        EXPECT_THROW(codepage::Utf8ToCodes(bad), Failure) << bad;
    }
}

// A library anyone may replace would see every password: it is refused and
// the user told why, each time. Group write access is allowed (umask 002).
TEST(CCipherMode, ByTheLibraryFound) {
    const bool root = ::geteuid() == 0;
    TempDir dir;
    struct Case {
        const char* name;
        fs::path folder;
        CipherMode mode;
        std::string error{};
        fs::perms file = fs::perms::none, folderPerms = fs::perms::none;
        uid_t owner = 0;
    };
    const fs::path copy = dir / "lib", library = copy / kLibraryFileName;
    const Case cases[] = {
        {.name = "present", .folder = ProgramFolder(), .mode = CipherMode::Library},
        {.name = "missing", .folder = EmptyFolder(), .mode = CipherMode::NotLoaded},
        {.name = "relative folder", .folder = "relative/folder", .mode = CipherMode::NotLoaded},
        {.name = "lacks functions",
         .folder = HUSHNOTE_BROKEN_LIBRARY_DIR,
         .mode = CipherMode::LibraryFailed,
         .error = "Error #453\r\n\r\n"},
        {.name = "file o+w",
         .folder = copy,
         .mode = CipherMode::LibraryFailed,
         .error = "Error #75\r\n\r\nThe cipher library " + library.string() +
                  " was not loaded: other users can change it.",
         .file = fs::perms::others_write},
        {.name = "folder o+w",
         .folder = copy,
         .mode = CipherMode::LibraryFailed,
         .error = "Error #75\r\n\r\nThe cipher library " + library.string() + " was not loaded: ",
         .folderPerms = fs::perms::others_write},
        {.name = "g+w",
         .folder = copy,
         .mode = CipherMode::Library,
         .file = fs::perms::group_write,
         .folderPerms = fs::perms::group_write},
        {.name = "owned by nobody",
         .folder = copy,
         .mode = root ? CipherMode::LibraryFailed : CipherMode::Library,
         .error = root ? "Error #75" : "",
         .owner = root ? 65534u : 0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(copy);
        fs::create_directory(copy);
        fs::copy_file(ProgramFolder() / kLibraryFileName, library);
        fs::permissions(library, c.file, fs::perm_options::add);
        fs::permissions(copy, c.folderPerms, fs::perm_options::add);
        ASSERT_TRUE(c.owner == 0 || ::chown(library.c_str(), c.owner, gid_t(-1)) == 0);
        test::Events events;
        CCipher cipher(&events, c.folder);
        EXPECT_EQ(cipher.Initilize("x", 0), c.mode);
        EXPECT_EQ(cipher.Initilize("x", 0), c.mode);
        EXPECT_EQ(cipher.DLLMode(), c.mode);
        ASSERT_EQ(events.errors.size(), c.error.empty() ? 0u : 2u);
        for (const auto& e : events.errors) {
            EXPECT_THAT(e, StartsWith(c.error));
        }
    }
}

TEST(CCipherStrings, EqualTheBuiltInEngine) {
    CCipher c;
    c.Initilize("key", 0);
    const std::string text(999, 't');
    std::string halves = c.Cipher(text.substr(0, 400));
    halves += c.Cipher(text.substr(400));
    EXPECT_EQ(halves, CipherString(text, "key"));
    for (std::size_t n = 0; n <= 7; ++n) {
        const std::string msg = std::string("message").substr(0, n);
        const std::string s = c.SecureString(msg, "pw");
        EXPECT_EQ(s, n == 0 ? "????????" : SecureMessage(msg, "pw")) << n;
        EXPECT_EQ(c.DeSecureString(s, "pw"), n == 0 ? "ERR2" : msg);
    }
    for (const std::string& text : {std::string(""), std::string("???D????"),
                                    EncodeLengthHeader(100) + SecureMessage("abc", "pw").substr(8),
                                    EncodeLengthHeader(1) + "A", EncodeLengthHeader(3) + "~~?"}) {
        EXPECT_EQ(c.DeSecureString(text, "pw"), DeSecureMessage(text, "pw")) << text;
    }
    EXPECT_EQ(c.DeSecureString("WUH", "pw"), "ERR") << "the library decodes 3 characters to none";
}

// Without a usable library the string operations fail with what Initilize
// met, instead of ciphering under the key the library held before. However
// they end, the library is left cleared of the password.
TEST(CCipherStrings, FailuresReachTheCallerAndTheLibraryIsCleared) {
    test::Events events;
    CCipher c(&events);
    const std::string s = c.SecureString("msg", "pw");
    EXPECT_EQ(FailureNumber([&] { c.SecureString("msg", ""); }), kErrInvalidArgument);
    EXPECT_EQ(FailureNumber([&] { c.DeSecureString(s, ""); }), kErrInvalidArgument);
    EXPECT_EQ(events.errors.size(), 2u);
    CCipher none(nullptr, EmptyFolder());
    EXPECT_EQ(FailureNumber([&] { none.SecureString("msg", "pw"); }), kErrLibraryLoad);
    EXPECT_EQ(FailureNumber([&] { none.DeSecureString(s, "pw"); }), kErrLibraryLoad);
    // The stand-in cuts the count of the function its key names.
    CCipher shortCounts(nullptr, HUSHNOTE_SHORT_LIBRARY_DIR);
    EXPECT_EQ(FailureNumber([&] { shortCounts.SecureString("msg", "CipherBuffer"); }),
              kErrInvalidArgument);
    EXPECT_EQ(FailureNumber([&] { shortCounts.Cipher("still keyed with CipherBuffer?"); }), 0);
    EXPECT_THAT(shortCounts.DeSecureString(s, "DecodeText"),
                StartsWith("VBError: The cipher library's DecodeText returned"));
}

TEST(CipherState, WipedByWipeStateAndAfterEveryFileCommand) {
    const auto expectZero = [] {
        const CipherState zero{};
        EXPECT_EQ(std::memcmp(&State(), &zero, sizeof zero), 0);
    };
    CipherString("message", "password");
    WipeState();
    expectZero();
    TempDir dir;
    test::WriteFile(dir / "in", "secret data");
    test::MakeCipher(CipherMode::NotLoaded)->SecureFile(dir / "in", dir / "out", "pw");
    expectZero();
    test::MakeCipher(CipherMode::NotLoaded)->DeSecureFile(dir / "out", dir / "back", "pw");
    expectZero();
}

} // namespace
} // namespace hushnote
