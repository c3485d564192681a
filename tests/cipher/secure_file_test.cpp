// Secured files: the format in both modes and across them, progress, and the
// faults that must lose nothing.
#include "cipher/CCipher.h"
#include "cipher/VBEncrypt.h"
#include "common/error.h"
#include "file_test_util.h"
#include "test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace hushnote {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class Events : public CipherEvents {
public:
    void ShowLibraryError(const std::string&) override {}
    bool ReportProgress(std::int64_t remaining, std::int64_t) override {
        progress.push_back(remaining);
        return stopAfter < 0 || static_cast<int>(progress.size()) <= stopAfter;
    }
    std::vector<std::int64_t> progress;
    int stopAfter = -1;
};

enum class Mode { Library, BuiltIn };

std::unique_ptr<CCipher> MakeCipher(Mode mode, CipherEvents* events = nullptr) {
    auto c = std::make_unique<CCipher>(events);
    if (mode == Mode::BuiltIn) {
        c->SetDLLMode(1);
    }
    return c;
}

int Failed(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.number();
    }
    return 0;
}

TEST(SecuredFile, EnginesReadEachOthersFilesByteForByte) {
    TempDir dir;
    std::mt19937 rng(9);
    for (std::size_t n : {0u, 1u, 2u, 3u, 4094u, 4095u, 4096u, 8190u, 8191u, 12286u, 100000u}) {
        const std::string plain = test::RandomBytes(rng, n);
        WriteFile(dir / "plain", plain);
        MakeCipher(Mode::Library)->SecureFile(dir / "plain", dir / "lib.sec", "pass");
        MakeCipher(Mode::BuiltIn)->SecureFile(dir / "plain", dir / "vb.sec", "pass");
        const std::string lib = ReadFile(dir / "lib.sec");
        ASSERT_EQ(lib, ReadFile(dir / "vb.sec")) << n;
        ASSERT_EQ(lib.size(), 8 + 4 * ((n + 2) / 3));
        for (auto reader : {Mode::Library, Mode::BuiltIn}) {
            for (auto file : {"lib.sec", "vb.sec"}) {
                ASSERT_EQ(MakeCipher(reader)->DeSecureFile(dir / file, dir / "back", "pass"), 0);
                ASSERT_EQ(ReadFile(dir / "back"), plain) << n << " " << file;
            }
        }
        if (n > 0) {
            EXPECT_EQ(lib, VBEncrypt::SecureMessage(plain, "pass")) << n;
        }
    }
}

TEST(SecuredFile, EmptyFileIsTheHeaderAloneWithoutProgress) {
    TempDir dir;
    WriteFile(dir / "empty", "");
    Events events;
    CCipher c(&events);
    EXPECT_EQ(c.SecureFile(dir / "empty", dir / "out", "pw"), 0);
    EXPECT_EQ(ReadFile(dir / "out"), "????????");
    EXPECT_TRUE(events.progress.empty());
}

TEST(SecuredFile, MissingInputIsCreatedEmpty) {
    TempDir dir;
    EXPECT_EQ(MakeCipher(Mode::BuiltIn)->SecureFile(dir / "new", dir / "out", "pw"), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "new"));
    EXPECT_EQ(ReadFile(dir / "out"), "????????");
}

TEST(SecuredFile, ProgressBeforeEachPiece) {
    TempDir dir;
    WriteFile(dir / "in", std::string(10000, 'x'));
    for (auto mode : {Mode::Library, Mode::BuiltIn}) {
        Events events;
        MakeCipher(mode, &events)->SecureFile(dir / "in", dir / "out", "pw");
        EXPECT_THAT(events.progress, ElementsAre(10000, 5905, 1810));
        Events back;
        MakeCipher(mode, &back)->DeSecureFile(dir / "out", dir / "plain", "pw");
        EXPECT_THAT(back.progress, ElementsAre(13336, 7876, 2416));
    }
}

TEST(SecuredFile, UnreadableHeaderWritesNothing) {
    TempDir dir;
    WriteFile(dir / "bad", "\x80\x80");
    WriteFile(dir / "existing", "keep me");
    EXPECT_EQ(MakeCipher(Mode::Library)->DeSecureFile(dir / "bad", dir / "existing", "pw"), 1);
    EXPECT_EQ(ReadFile(dir / "existing"), "keep me");
    EXPECT_EQ(MakeCipher(Mode::BuiltIn)->DeSecureFile(dir / "bad", dir / "none", "pw"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "none"));
}

TEST(SecuredFile, HeaderDecidesTheLengthAndShortFilesGiveNothing) {
    TempDir dir;
    WriteFile(dir / "plain", "0123456789");
    MakeCipher(Mode::Library)->SecureFile(dir / "plain", dir / "sec", "pw");
    const std::string body = ReadFile(dir / "sec").substr(8);
    WriteFile(dir / "short", VBEncrypt::EncodeLengthHeader(4) + body);
    WriteFile(dir / "long", VBEncrypt::EncodeLengthHeader(99999) + body);
    WriteFile(dir / "tiny", "WUH");
    for (auto mode : {Mode::Library, Mode::BuiltIn}) {
        MakeCipher(mode)->DeSecureFile(dir / "short", dir / "out", "pw");
        EXPECT_EQ(ReadFile(dir / "out"), "0123");
        MakeCipher(mode)->DeSecureFile(dir / "long", dir / "out", "pw");
        EXPECT_EQ(ReadFile(dir / "out").substr(0, 10), "0123456789");
        EXPECT_EQ(ReadFile(dir / "out").size(), 12u) << "the whole decoded body, fill included";
        EXPECT_EQ(MakeCipher(mode)->DeSecureFile(dir / "tiny", dir / "out", "pw"), 0);
        EXPECT_EQ(ReadFile(dir / "out"), "");
    }
}

TEST(SecuredFile, ModesAgreeOnMalformedFiles) {
    TempDir dir;
    std::mt19937 rng(10);
    for (int round = 0; round < 50; ++round) {
        std::string junk =
            VBEncrypt::EncodeLengthHeader(rng() % 3000) + test::RandomBytes(rng, rng() % 3000);
        for (auto& c : junk.substr(8)) {
            c = static_cast<char>(c & 0x7F); // mostly decodable
        }
        WriteFile(dir / "junk", junk);
        MakeCipher(Mode::Library)->DeSecureFile(dir / "junk", dir / "a", "pw");
        MakeCipher(Mode::BuiltIn)->DeSecureFile(dir / "junk", dir / "b", "pw");
        ASSERT_EQ(ReadFile(dir / "a"), ReadFile(dir / "b")) << round;
    }
}

class FileFaults : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        WriteFile(dir / "in", std::string(9000, 'i'));
        WriteFile(dir / "out", "old content");
    }
    void ExpectNothingLost(std::size_t names) {
        EXPECT_EQ(ReadFile(dir / "in"), std::string(9000, 'i'));
        EXPECT_EQ(ReadFile(dir / "out"), "old content");
        EXPECT_EQ(dir.Count(), names) << "a temporary file was left behind";
    }
    TempDir dir;
};

TEST_P(FileFaults, OutputNamingTheInputIsRefused) {
    auto c = MakeCipher(GetParam());
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_symlink(dir / "in", dir / "link");
    for (auto same : {dir / "in", dir / "sub" / ".." / "in", dir / "link"}) {
        EXPECT_EQ(Failed([&] { c->SecureFile(dir / "in", same, "pw"); }), kErrPathAccess);
    }
    ExpectNothingLost(4);
}

TEST_P(FileFaults, OutputInAMissingFolder) {
    EXPECT_EQ(
        Failed([&] { MakeCipher(GetParam())->SecureFile(dir / "in", dir / "no" / "x", "pw"); }),
        kErrPathAccess);
    ExpectNothingLost(2);
}

TEST_P(FileFaults, StopRequestedHalfWay) {
    Events events;
    events.stopAfter = 1;
    EXPECT_EQ(
        Failed([&] { MakeCipher(GetParam(), &events)->SecureFile(dir / "in", dir / "out", "pw"); }),
        kErrCancelled);
    EXPECT_EQ(events.progress.size(), 2u);
    ExpectNothingLost(2);
}

TEST_P(FileFaults, InputTooLargeForTheHeader) {
    { std::ofstream(dir / "big", std::ios::binary); }
    std::filesystem::resize_file(dir / "big", VBEncrypt::kMaxLength + 1);
    EXPECT_EQ(Failed([&] { MakeCipher(GetParam())->SecureFile(dir / "big", dir / "out", "pw"); }),
              kErrInvalidArgument);
    std::filesystem::remove(dir / "big");
    ExpectNothingLost(2);
}

TEST_P(FileFaults, LargestInputStillFits) {
    { std::ofstream(dir / "big", std::ios::binary); }
    std::filesystem::resize_file(dir / "big", VBEncrypt::kMaxLength);
    ASSERT_EQ(MakeCipher(GetParam())->SecureFile(dir / "big", dir / "sec", "pw"), 0);
    EXPECT_EQ(ReadFile(dir / "sec").substr(0, 8),
              VBEncrypt::EncodeLengthHeader(VBEncrypt::kMaxLength));
    EXPECT_EQ(std::filesystem::file_size(dir / "sec"), 8u + 4u * (VBEncrypt::kMaxLength / 3));
}

TEST_P(FileFaults, DiskFullOnADeviceLeavesTheDeviceAlone) {
    // Our own node of the full device; /dev/full itself is never touched.
    if (::mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
        GTEST_SKIP() << "cannot make device nodes here";
    }
    EXPECT_EQ(Failed([&] { MakeCipher(GetParam())->SecureFile(dir / "in", dir / "full", "pw"); }),
              kErrDiskFull);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "full").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device was replaced by a file";
    ExpectNothingLost(3);
}

TEST_P(FileFaults, UnreadableInput) {
    EXPECT_EQ(Failed([&] { MakeCipher(GetParam())->SecureFile(dir.path(), dir / "out", "pw"); }),
              kErrPathAccess);
    ExpectNothingLost(2);
}

INSTANTIATE_TEST_SUITE_P(BothModes, FileFaults, ::testing::Values(Mode::Library, Mode::BuiltIn),
                         [](const auto& info) {
                             return info.param == Mode::Library ? "Library" : "BuiltIn";
                         });

TEST(SecuredFileOutput, LinkIsFollowedAndKept) {
    TempDir dir;
    WriteFile(dir / "in", "data");
    WriteFile(dir / "target", "old");
    std::filesystem::create_symlink(dir / "target", dir / "link");
    MakeCipher(Mode::Library)->SecureFile(dir / "in", dir / "link", "pw");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "target"), VBEncrypt::SecureMessage("data", "pw"));
}

TEST(SecuredFileOutput, LinkToADeviceIsWrittenInPlace) {
    // As "hushnote-cli secure-file IN /dev/stdout" does: the link leads to a
    // device (here our own null device node), which must stay a device.
    TempDir dir;
    WriteFile(dir / "in", "data");
    if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make device nodes here";
    }
    std::filesystem::create_symlink(dir / "null", dir / "stdout");
    EXPECT_EQ(MakeCipher(Mode::Library)->SecureFile(dir / "in", dir / "stdout", "pw"), 0);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "stdout"));
    EXPECT_EQ(dir.Count(), 3u);
}

TEST(SecuredFileOutput, ExistingFileIsReplacedNotAppendedAndKeepsItsMode) {
    TempDir dir;
    WriteFile(dir / "in", "abc");
    WriteFile(dir / "out", std::string(5000, 'z'));
    std::filesystem::permissions(dir / "out", std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_write);
    MakeCipher(Mode::BuiltIn)->SecureFile(dir / "in", dir / "out", "pw");
    EXPECT_EQ(ReadFile(dir / "out"), VBEncrypt::SecureMessage("abc", "pw"));
    EXPECT_EQ(std::filesystem::status(dir / "out").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(SecuredFileState, NothingKeyDependentIsLeftAfterAFile) {
    TempDir dir;
    WriteFile(dir / "in", "secret data");
    MakeCipher(Mode::BuiltIn)->SecureFile(dir / "in", dir / "out", "pw");
    for (auto v : VBEncrypt::State().SBox) {
        ASSERT_EQ(v, 0);
    }
    for (auto v : VBEncrypt::State().KeyTable) {
        ASSERT_EQ(v, 0);
    }
}

} // namespace
} // namespace hushnote
