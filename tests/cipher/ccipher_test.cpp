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

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using test::FailureNumber;
using test::RandomBytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;
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
    CCipher none(nullptr, EmptyFolder());
    EXPECT_THROW(none.SecureString("msg", "pw"), Failure);
    EXPECT_THROW(none.DeSecureString("????????????", "pw"), Failure);
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
