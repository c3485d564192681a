// Secured text from both engines, the code page at the engine's edges, and how
// the cipher object picks its mode. Known answers for the cipher and the
// encoding are in tests/fncryptlib, held against every engine.
#include "cipher/CCipher.h"
#include "common/codepage.h"
#include "engine/VBEncrypt.h"
#include "support/test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <unistd.h>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using namespace VBEncrypt;
using namespace test;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The length header up to its limit; what is invalid is refused before the
// cipher state changes.
TEST(SecuredText, HeaderUpToTheLimitAndInvalidArgumentsRefusedFirst) {
    EXPECT_EQ(SecureMessage("Hello", "pw").substr(0, 8), "???D????");
    EXPECT_EQ(DecodedHeaderLength(DecodePrintable(EncodeLengthHeader(kMaxLength))), kMaxLength);
    KeyCipher("abc");
    const CipherState before = State();
    const std::function<void()> refused[] = {
        // clang-format off
        [] { KeyCipher(""); }, [] { EncodePrintable(""); }, [] { SecureMessage("", "pw"); },
        [] { SecureMessage("msg", ""); }, [] { EncodeLengthHeader(kMaxLength + 1); },
        // clang-format on
    };
    for (const auto& f : refused) {
        EXPECT_EQ(FailureOf(f).number, kErrInvalidArgument);
    }
    EXPECT_EQ(State().SBox, before.SBox) << "an empty password changed the state";
}

TEST(SecuredText, OutcomesAndMarkers) {
    const std::string body = SecureMessage("abcdef", "pw").substr(8);
    // clang-format off
    struct Case { std::string text, password, shown; TextOutcome outcome = TextOutcome::Message; };
    const Case cases[] = {
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
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(DeSecureMessage(c.text, c.password), c.shown) << c.text;
        EXPECT_EQ(DeSecure(c.text, c.password).outcome, c.outcome) << c.text;
    }
}

TEST(CodePage, EveryCodeRoundTripsAndOthersAreNamed) {
    std::string all(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    EXPECT_EQ(codepage::Utf16ToCodes(codepage::CodesToUtf16(all)), all);
    EXPECT_EQ(codepage::Utf8ToCodes(codepage::CodesToUtf8(all)), all);
    EXPECT_EQ(codepage::Utf8ToCodes("\u20AC \u2019 \u0178"), "\x80 \x92 \x9F");
    EXPECT_EQ(codepage::CodeToChar(0x81), 0x81u) << "unassigned codes map to C1 controls";
    EXPECT_THAT([] { codepage::Utf16ToCodes(u"ab\U0001F600c"); },
                ::testing::ThrowsMessage<Failure>(HasSubstr("position 3")));
    // Cut short, overlong, a surrogate, beyond Unicode, a stray byte: named by
    // the byte where the sequence begins, counted in bytes, not characters.
    const std::pair<std::string, const char*> bad[] = {
        {"\xC3", "(byte 1)."},         {"\xC0\x80", "(byte 1)."},
        {"\xED\xA0\x80", "(byte 1)."}, {"\xF4\x90\x80\x80", "(byte 1)."},
        {"a\xFF", "(byte 2)."},        {"\u20AC\xE2\x82x", "(byte 4)."},
    };
    for (const auto& [text, byte] : bad) {
        EXPECT_THAT([&] { codepage::Utf8ToCodes(text); },
                    ::testing::ThrowsMessage<Failure>(HasSubstr(byte)))
            << text;
    }
}

// Every way a library's place is judged. A library anyone may replace would
// see every password: it is refused and the user told why, each time. Group
// write access is allowed (umask 002). The user's choice of the library alone
// (ModeChoice::Library) hears the same failure instead of a fallback.
TEST(CCipherMode, ByTheLibraryFound) {
    const bool root = ::geteuid() == 0;
    TempDir dir;
    // clang-format off
    struct Case { const char* name; fs::path folder; CipherMode mode; std::string error{};
                  fs::perms file = fs::perms::none, folderPerms = fs::perms::none; uid_t owner = 0;
                  std::string content{}; bool linked = false; };
    // clang-format on
    const fs::path copy = dir / "lib", library = copy / kLibraryFileName, open = dir / "open\x1b";
    const std::string refused =
        "Error #75\r\n\r\nThe cipher library " + library.string() + " was not loaded: ";
    const auto otherWrite = fs::perms::others_write, groupWrite = fs::perms::group_write;
    // clang-format off
    const Case cases[] = {
        {.name = "missing", .folder = dir.path(), .mode = CipherMode::NotLoaded},
        {.name = "not a library", .folder = copy, .mode = CipherMode::NotLoaded, .content = "MZ not an ELF file"},
        // Relative to the working folder it would load; a relative folder is a search.
        {.name = "relative folder", .folder = fs::relative(copy), .mode = CipherMode::NotLoaded},
        {.name = "lacks functions", .folder = HUSHNOTE_BROKEN_LIBRARY_DIR, .mode = CipherMode::LibraryFailed, .error = "Error #453\r\n\r\n"},
        {.name = "file o+w", .folder = copy, .mode = CipherMode::LibraryFailed, .error = refused + "other users can change it.", .file = otherWrite},
        {.name = "folder o+w", .folder = copy, .mode = CipherMode::LibraryFailed, .error = refused + "other users can change its folder", .folderPerms = otherWrite},
        {.name = "linked into a folder o+w", .folder = copy, .mode = CipherMode::LibraryFailed, .error = refused + "other users can change its folder " + (dir / "open").string() + "\\x1b", .linked = true},
        {.name = "g+w", .folder = copy, .mode = CipherMode::Library, .file = groupWrite, .folderPerms = groupWrite},
        {.name = "owned by nobody", .folder = copy, .mode = root ? CipherMode::LibraryFailed : CipherMode::Library, .error = root ? refused + "it belongs to a user other" : "", .owner = root ? 65534u : 0u},
    };
    // clang-format on
    fs::create_directory(open);
    fs::permissions(open, otherWrite, fs::perm_options::add);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(copy);
        fs::create_directory(copy);
        const fs::path real = c.linked ? open / kLibraryFileName : library;
        fs::copy_file(ProgramFolder() / kLibraryFileName, real,
                      fs::copy_options::overwrite_existing);
        if (c.linked) {
            fs::create_symlink(real, library);
        }
        if (!c.content.empty()) {
            WriteFile(library, c.content);
        }
        fs::permissions(library, c.file, fs::perm_options::add);
        fs::permissions(copy, c.folderPerms, fs::perm_options::add);
        ASSERT_TRUE(c.owner == 0 || ::chown(library.c_str(), c.owner, gid_t(-1)) == 0);
        Events events;
        CCipher cipher(&events, c.folder);
        EXPECT_EQ(cipher.ChooseMode(ModeChoice::Auto), c.mode);
        EXPECT_EQ(cipher.Initilize("x", 0), c.mode);
        ASSERT_EQ(events.errors.size(), c.error.empty() ? 0u : 2u);
        for (const auto& e : events.errors) {
            EXPECT_THAT(e, StartsWith(c.error));
        }
        const ErrorValue chosen =
            FailureOf([&] { CCipher(&events, c.folder).ChooseMode(ModeChoice::Library); });
        const int told = c.error.empty() ? 0 : std::stoi(c.error.substr(7)); // "Error #N"
        EXPECT_EQ(chosen.number, c.mode == CipherMode::NotLoaded ? int{kErrLibraryLoad} : told);
        EXPECT_EQ(events.errors.size(), c.error.empty() ? 0u : 2u) << "told, not thrown";
    }
}

// Edges the library reads as the built-in engine does; any other message and
// password are fuzz/differential_fuzz.cpp's.
TEST(CCipherStrings, EdgesReadAsTheBuiltInEngineReadsThem) {
    CCipher c;
    EXPECT_EQ(c.SecureString("", "pw"), "????????");
    for (const std::string& text :
         {std::string(""), std::string("???D????"),
          EncodeLengthHeader(100) + SecureMessage("abc", "pw").substr(8),
          EncodeLengthHeader(1) + "A", EncodeLengthHeader(3) + "~~?",
          // A group led by a code of 127 or more decodes to nothing.
          EncodeLengthHeader(3) + "\x7F???", EncodeLengthHeader(6) + "????\xFF???"}) {
        EXPECT_EQ(c.DeSecureString(text, "pw"), DeSecureMessage(text, "pw")) << text;
    }
    EXPECT_EQ(c.DeSecureString("WUH", "pw"), "ERR") << "the library decodes 3 characters to none";
}

// A library that refuses the key or cannot be loaded fails the string
// operations with what Initilize met, instead of ciphering under the key it
// held before. One that returns short counts fails the command with a failure
// that names the function: no text or file missing data, no quiet switch to
// the built-in cipher half-way, and the library left cleared of the password.
// The key tells the stand-in which count to cut.
TEST(CCipherLibraryFaults, ReachTheCallerAndNothingIsWritten) {
    Events events;
    CCipher good(&events);
    EXPECT_EQ(FailureOf([&] { good.SecureString("msg", ""); }).number, kErrInvalidArgument);
    EXPECT_EQ(FailureOf([&] { good.DeSecureString("???D????WUHb", ""); }).number,
              kErrInvalidArgument);
    EXPECT_EQ(events.errors.size(), 2u);
    EXPECT_EQ(FailureOf([&] { CCipher(nullptr, "/").SecureString("msg", "pw"); }).number,
              kErrLibraryLoad);
    TempDir dir;
    const std::string plain(5000, 'p'), secured = SecureMessage(plain, "pw");
    WriteFile(dir / "plain", plain);
    WriteFile(dir / "secured", secured);
    for (const std::string function : {"CipherBuffer", "EncodeText", "DecodeText"}) {
        SCOPED_TRACE(function);
        CCipher c(nullptr, HUSHNOTE_SHORT_LIBRARY_DIR);
        const ErrorValue e = FailureOf([&] {
            if (function != "DecodeText") {
                c.SecureFile(dir / "plain", dir / "out", function);
            } else {
                c.DeSecureFile(dir / "secured", dir / "out", function);
            }
        });
        EXPECT_EQ(e.number, kErrInvalidArgument);
        EXPECT_THAT(e.description, HasSubstr(function));
        EXPECT_EQ(c.DLLMode(), CipherMode::Library);
        EXPECT_EQ(dir.Count(), 2u) << "output or a temporary file left behind";
    }
    CCipher c(nullptr, HUSHNOTE_SHORT_LIBRARY_DIR);
    EXPECT_EQ(FailureOf([&] { c.SecureString("msg", "CipherBuffer"); }).number,
              kErrInvalidArgument);
    EXPECT_EQ(FailureOf([&] { c.Cipher("still keyed with CipherBuffer?"); }).number, 0);
    EXPECT_THAT(c.DeSecureString(secured, "DecodeText"),
                StartsWith("VBError: The cipher library's DecodeText returned"));
}

} // namespace
} // namespace hushnote
