// The cipher object: how it picks its mode, the library-backed string
// operations, and secured files in both modes, across them and under faults
// that must lose nothing.
#include "cipher/CCipher.h"
#include "cipher/VBEncrypt.h"
#include "file_test_util.h"
#include "test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using test::FailureNumber;
using test::RandomBytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class Events : public CipherEvents {
public:
    void ShowLibraryError(const std::string& text) override { messages.push_back(text); }
    bool ReportProgress(std::int64_t remaining, std::int64_t) override {
        progress.push_back(remaining);
        return stopAfter < 0 || static_cast<int>(progress.size()) <= stopAfter;
    }
    std::vector<std::string> messages;
    std::vector<std::int64_t> progress;
    int stopAfter = -1;
};

fs::path EmptyFolder() {
    auto dir = fs::temp_directory_path() / "hushnote-no-library";
    fs::create_directories(dir);
    return dir;
}

// The two file engines, by their mode numbers.
enum Mode : std::int16_t { Library = 0, BuiltIn = 1 };

std::unique_ptr<CCipher> MakeCipher(Mode mode, CipherEvents* events = nullptr) {
    auto c = std::make_unique<CCipher>(events);
    c->SetDLLMode(mode);
    return c;
}

bool IsDevice(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

TEST(CCipherMode, PresentMissingBrokenAndRelativeLibrary) {
    struct Case {
        fs::path folder;
        int mode;
    };
    for (const Case& c :
         {Case{ProgramFolder(), 0}, Case{EmptyFolder(), 1},
          Case{fs::path(HUSHNOTE_BROKEN_LIBRARY_DIR), 2}, Case{fs::path("relative/folder"), 1}}) {
        Events events;
        CCipher cipher(&events, c.folder);
        EXPECT_EQ(cipher.Initilize("x", 0), c.mode);
        EXPECT_EQ(cipher.Initilize("x", 0), c.mode);
        EXPECT_EQ(cipher.DLLMode(), c.mode);
        // Only a broken library is worth telling the user about, each time.
        EXPECT_EQ(events.messages.size(), c.mode == 2 ? 2u : 0u);
        for (const auto& m : events.messages) {
            EXPECT_THAT(m, StartsWith("Error #453\r\n\r\n"));
        }
    }
}

// A library that anyone may replace would see every password: it is refused,
// and the user is told why. Group write access is left alone, so a library
// built under a umask of 002 still loads.
TEST(CCipherMode, LibraryOthersCanChangeIsRefused) {
    struct Case {
        const char* what;
        fs::perms filePerms, folderPerms;
        uid_t owner;
        int mode;
    };
    const auto none = fs::perms::none, other = fs::perms::others_write;
    const auto group = fs::perms::group_write;
    const Case cases[] = {
        {"file o+w", other, none, 0, 2},
        {"folder o+w", none, other, 0, 2},
        {"file and folder g+w", group, group, 0, 0},
        {"owned by nobody", none, none, 65534, 2},
    };
    const bool root = ::geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.owner != 0 && !root) {
            continue;
        }
        TempDir dir;
        fs::create_directory(dir / "lib");
        const fs::path library = dir / "lib" / kLibraryFileName;
        fs::copy_file(ProgramFolder() / kLibraryFileName, library);
        fs::permissions(library, c.filePerms, fs::perm_options::add);
        fs::permissions(dir / "lib", c.folderPerms, fs::perm_options::add);
        if (c.owner != 0) {
            ASSERT_EQ(::chown(library.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
        }
        Events events;
        CCipher cipher(&events, dir / "lib");
        EXPECT_EQ(cipher.Initilize("x", 0), c.mode);
        ASSERT_EQ(events.messages.size(), c.mode == 2 ? 1u : 0u);
        if (c.mode == 2) {
            EXPECT_THAT(events.messages[0], StartsWith("Error #75\r\n\r\nThe cipher library " +
                                                       library.string() + " was not loaded: "));
        }
        if (c.filePerms == other) {
            EXPECT_THAT(events.messages[0], HasSubstr("other users can change it."));
        }
    }
    if (!root) {
        GTEST_SKIP() << "not root: the library owned by another user was not tried";
    }
}

TEST(CCipherStrings, CipherContinuesTheKeystreamAndSecureStringEqualsSecureMessage) {
    std::mt19937 rng(7);
    const std::string text = RandomBytes(rng, 999);
    CCipher c;
    c.Initilize("key", 0);
    std::string halves = c.Cipher(text.substr(0, 400));
    halves += c.Cipher(text.substr(400));
    EXPECT_EQ(halves, VBEncrypt::CipherString(text, "key"));
    for (std::size_t n = 1; n <= 60; ++n) {
        const std::string msg = RandomBytes(rng, n);
        const std::string s = c.SecureString(msg, "pw");
        ASSERT_EQ(s, VBEncrypt::SecureMessage(msg, "pw")) << n;
        ASSERT_EQ(c.DeSecureString(s, "pw"), msg);
    }
    EXPECT_EQ(c.SecureString("", "pw"), "????????");
    EXPECT_EQ(c.DeSecureString("", "pw"), "ERR");
    EXPECT_EQ(c.DeSecureString("WUH", "pw"), "ERR");
    EXPECT_EQ(c.DeSecureString("???D????", "pw"), "ERR2");
    const std::string s = VBEncrypt::SecureMessage("abcdef", "pw");
    EXPECT_EQ(c.DeSecureString(VBEncrypt::EncodeLengthHeader(100) + s.substr(8), "pw"), "abcdef");
}

// Without a usable library the string operations fail with what Initilize
// met, instead of ciphering under whatever key the library held before (an
// empty key is refused by the library and leaves the old one in place).
TEST(CCipherStrings, FailWhenTheLibraryIsNotUsable) {
    Events events;
    CCipher c(&events);
    const std::string s = c.SecureString("msg", "pw");
    EXPECT_EQ(FailureNumber([&] { c.SecureString("msg", ""); }), kErrInvalidArgument);
    EXPECT_EQ(FailureNumber([&] { c.DeSecureString(s, ""); }), kErrInvalidArgument);
    EXPECT_EQ(events.messages.size(), 2u);
    CCipher none(nullptr, EmptyFolder());
    EXPECT_EQ(FailureNumber([&] { none.SecureString("msg", "pw"); }), kErrLibraryLoad);
    EXPECT_EQ(FailureNumber([&] { none.DeSecureString(s, "pw"); }), kErrLibraryLoad);
}

// Secured text whose body is too short for a whole group reads as the
// built-in engine reads it.
TEST(CCipherStrings, ShortBodiesDeSecureAsTheBuiltInEngine) {
    CCipher c;
    for (std::int64_t length : {1, 3, 100}) {
        for (const char* body : {"A", "Zz", "~~?"}) {
            const std::string text = VBEncrypt::EncodeLengthHeader(length) + body;
            EXPECT_EQ(c.DeSecureString(text, "pw"), VBEncrypt::DeSecureMessage(text, "pw"))
                << length << " " << body;
        }
    }
}

TEST(SecuredFile, EnginesWriteTheSameFilesAndReadEachOthers) {
    TempDir dir;
    std::mt19937 rng(9);
    for (std::size_t n : {0u, 1u, 2u, 3u, 4094u, 4095u, 4096u, 8190u, 8191u, 100000u}) {
        const std::string plain = RandomBytes(rng, n);
        WriteFile(dir / "plain", plain);
        MakeCipher(Library)->SecureFile(dir / "plain", dir / "lib.sec", "pass");
        MakeCipher(BuiltIn)->SecureFile(dir / "plain", dir / "vb.sec", "pass");
        const std::string lib = ReadFile(dir / "lib.sec");
        ASSERT_EQ(lib, ReadFile(dir / "vb.sec")) << n;
        ASSERT_EQ(lib, n == 0 ? "????????" : VBEncrypt::SecureMessage(plain, "pass")) << n;
        for (auto reader : {Library, BuiltIn}) {
            for (auto file : {"lib.sec", "vb.sec"}) {
                ASSERT_EQ(MakeCipher(reader)->DeSecureFile(dir / file, dir / "back", "pass"), 0);
                ASSERT_EQ(ReadFile(dir / "back"), plain) << n << " " << file;
            }
        }
    }
}

TEST(SecuredFile, ProgressBeforeEachPieceAndNoneForAnEmptyFile) {
    TempDir dir;
    WriteFile(dir / "in", std::string(10000, 'x'));
    for (auto mode : {Library, BuiltIn}) {
        Events events, back, empty;
        MakeCipher(mode, &events)->SecureFile(dir / "in", dir / "out", "pw");
        EXPECT_THAT(events.progress, ElementsAre(10000, 5905, 1810));
        MakeCipher(mode, &back)->DeSecureFile(dir / "out", dir / "plain", "pw");
        EXPECT_THAT(back.progress, ElementsAre(13336, 7876, 2416));
        // A missing input is created empty; its secured form is the header alone.
        fs::remove(dir / "new");
        EXPECT_EQ(MakeCipher(mode, &empty)->SecureFile(dir / "new", dir / "out", "pw"), 0);
        EXPECT_TRUE(fs::exists(dir / "new"));
        EXPECT_EQ(ReadFile(dir / "out"), "????????");
        EXPECT_TRUE(empty.progress.empty());
    }
}

TEST(SecuredFile, ModesAgreeOnMalformedFiles) {
    TempDir dir;
    std::mt19937 rng(10);
    for (int round = 0; round < 50; ++round) {
        std::string junk = RandomBytes(rng, rng() % 3000);
        for (auto& c : junk) {
            c = static_cast<char>(c & 0x7F); // mostly decodable
        }
        WriteFile(dir / "junk", VBEncrypt::EncodeLengthHeader(rng() % 3000) + junk);
        MakeCipher(Library)->DeSecureFile(dir / "junk", dir / "a", "pw");
        MakeCipher(BuiltIn)->DeSecureFile(dir / "junk", dir / "b", "pw");
        ASSERT_EQ(ReadFile(dir / "a"), ReadFile(dir / "b")) << round;
    }
}

TEST(SecuredFileFaults, EachLeavesInputOutputAndFolderAsTheyWereInBothModes) {
    TempDir dir;
    WriteFile(dir / "in", std::string(9000, 'i'));
    WriteFile(dir / "out", "old content");
    fs::create_directory(dir / "sub");
    fs::create_symlink(dir / "in", dir / "link");
    { std::ofstream(dir / "big", std::ios::binary); }
    fs::resize_file(dir / "big", VBEncrypt::kMaxLength + 1);
    // Our own node of the full device; /dev/full itself is never touched.
    const bool device = ::mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    Events stopper;
    stopper.stopAfter = 1;
    struct Case {
        fs::path in, out;
        int error;
        Events* events = nullptr;
    };
    std::vector<Case> cases = {
        {dir / "in", dir / "in", kErrPathAccess},
        {dir / "in", dir / "sub" / ".." / "in", kErrPathAccess},
        {dir / "in", dir / "link", kErrPathAccess},
        {dir / "in", dir / "no" / "x", kErrPathAccess},
        {dir.path(), dir / "out", kErrPathAccess},
        {dir / "big", dir / "out", kErrInvalidArgument},
        {dir / "in", dir / "out", kErrCancelled, &stopper},
    };
    if (device) {
        cases.push_back({dir / "in", dir / "full", kErrDiskFull});
    }
    const std::size_t names = dir.Count();
    for (auto mode : {Library, BuiltIn}) {
        for (const auto& c : cases) {
            stopper.progress.clear();
            EXPECT_EQ(
                FailureNumber([&] { MakeCipher(mode, c.events)->SecureFile(c.in, c.out, "pw"); }),
                c.error)
                << c.out << " mode " << mode;
            EXPECT_EQ(ReadFile(dir / "in"), std::string(9000, 'i'));
            EXPECT_EQ(ReadFile(dir / "out"), "old content");
            EXPECT_EQ(dir.Count(), names) << "a temporary file was left behind";
            EXPECT_EQ(stopper.progress.size(), c.events ? 2u : 0u) << "stops at the second piece";
        }
    }
    if (!device) {
        GTEST_SKIP() << "cannot make device nodes here: the disk-full case did not run";
    }
    EXPECT_TRUE(IsDevice(dir / "full")) << "the device was replaced by a file";
}

// A library that returns short counts fails the command with a failure that
// names the function: no file missing data, and no quiet switch to the
// built-in cipher half-way. The key tells the stand-in which count to cut.
TEST(SecuredFileFaults, ShortCountFromTheLibraryFailsAndWritesNothing) {
    TempDir dir;
    const std::string plain(5000, 'p');
    WriteFile(dir / "plain", plain);
    WriteFile(dir / "secured", VBEncrypt::SecureMessage(plain, "pw"));
    const std::size_t names = dir.Count();
    struct Case {
        bool securing;
        const char* function;
    };
    for (const Case& c : {Case{true, "CipherBuffer"}, Case{true, "EncodeText"},
                          Case{false, "CipherBuffer"}, Case{false, "DecodeText"}}) {
        SCOPED_TRACE(c.function);
        CCipher cipher(nullptr, HUSHNOTE_SHORT_LIBRARY_DIR);
        try {
            if (c.securing) {
                cipher.SecureFile(dir / "plain", dir / "out", c.function);
            } else {
                cipher.DeSecureFile(dir / "secured", dir / "out", c.function);
            }
            ADD_FAILURE() << "no failure";
        } catch (const Failure& f) {
            EXPECT_NE(f.number(), kErrLibraryLoad);
            EXPECT_THAT(f.description(), HasSubstr(c.function));
        }
        EXPECT_EQ(cipher.DLLMode(), 0);
        EXPECT_EQ(dir.Count(), names) << "output or a temporary file left behind";
    }
}

TEST(SecuredFileFaults, LargestInputStillFitsInBothModes) {
    TempDir dir;
    { std::ofstream(dir / "big", std::ios::binary); }
    fs::resize_file(dir / "big", VBEncrypt::kMaxLength);
    for (auto mode : {Library, BuiltIn}) {
        ASSERT_EQ(MakeCipher(mode)->SecureFile(dir / "big", dir / "sec", "pw"), 0);
        EXPECT_EQ(ReadFile(dir / "sec").substr(0, 8),
                  VBEncrypt::EncodeLengthHeader(VBEncrypt::kMaxLength));
        EXPECT_EQ(fs::file_size(dir / "sec"), 8u + 4u * (VBEncrypt::kMaxLength / 3));
    }
}

TEST(SecuredFileOutput, ExistingFileKeepsItsModeAndLinksAreFollowedAndKept) {
    TempDir dir;
    WriteFile(dir / "in", "data");
    WriteFile(dir / "target", std::string(5000, 'z'));
    const auto mode = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(dir / "target", mode);
    fs::create_symlink(dir / "target", dir / "link");
    MakeCipher(BuiltIn)->SecureFile(dir / "in", dir / "link", "pw");
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "target"), VBEncrypt::SecureMessage("data", "pw")) << "replaced";
    EXPECT_EQ(fs::status(dir / "target").permissions(), mode);
    // As "hushnote-cli secure-file IN /dev/stdout" does: a link to a device
    // (our own null device node) is written in place and stays a device.
    if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make device nodes here";
    }
    fs::create_symlink(dir / "null", dir / "stdout");
    EXPECT_EQ(MakeCipher(Library)->SecureFile(dir / "in", dir / "stdout", "pw"), 0);
    EXPECT_TRUE(IsDevice(dir / "null"));
    EXPECT_TRUE(fs::is_symlink(dir / "stdout"));
    EXPECT_EQ(dir.Count(), 5u);
}

TEST(CipherState, WipedByWipeStateAndAfterEveryFileCommand) {
    const auto expectZero = [] {
        const VBEncrypt::CipherState zero{};
        EXPECT_EQ(std::memcmp(&VBEncrypt::State(), &zero, sizeof zero), 0);
    };
    VBEncrypt::CipherString("message", "password");
    VBEncrypt::WipeState();
    expectZero();
    TempDir dir;
    WriteFile(dir / "in", "secret data");
    MakeCipher(BuiltIn)->SecureFile(dir / "in", dir / "out", "pw");
    expectZero();
    MakeCipher(BuiltIn)->DeSecureFile(dir / "out", dir / "back", "pw");
    expectZero();
}

} // namespace
} // namespace hushnote
