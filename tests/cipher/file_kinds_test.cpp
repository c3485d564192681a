// Secured files in both modes: pieces, progress, and what a real system hands
// over. Inputs that are not plain files or change while they are read,
// outputs that are links, devices, streams or full disks, and secured files
// that a mail program wrapped or cut. A failure leaves everything as it was.
#include "cipher/CCipher.h"
#include "cipher/SecuredFileIO.h"
#include "cipher/VBEncrypt.h"
#include "support/test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using test::Events;
using test::FailureOf;
using test::kBothModes;
using test::MakeCipher;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr auto kLibrary = CipherMode::Library;
constexpr auto kBuiltIn = CipherMode::NotLoaded;

bool TemporaryLeft(const fs::path& dir) {
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.path().filename().string().rfind(".hushnote-", 0) == 0) {
            return true;
        }
    }
    return false;
}

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

bool IsDevice(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A folder of its own file system, when the machine allows mounting (root in
// a system that permits it); unmounted at the end.
struct Mount {
    Mount(const fs::path& where, const char* type, const char* source, unsigned long flags,
          const char* options)
        : where(where), ok(::mount(source, where.c_str(), type, flags, options) == 0) {}
    ~Mount() {
        if (ok) {
            ::umount2(where.c_str(), MNT_DETACH);
        }
    }
    fs::path where;
    bool ok;
};

// Piece boundaries (4095 bytes) in both engines: the same file, read by both.
TEST(SecuredFile, EnginesWriteTheSameFilesAndReadEachOthers) {
    TempDir dir;
    std::mt19937 rng(9);
    for (std::size_t n : {0u, 1u, 2u, 3u, 4094u, 4095u, 4096u, 8190u, 8191u, 100000u}) {
        const std::string plain = test::RandomBytes(rng, n);
        WriteFile(dir / "plain", plain);
        MakeCipher(kLibrary)->SecureFile(dir / "plain", dir / "lib.sec", "pass");
        MakeCipher(kBuiltIn)->SecureFile(dir / "plain", dir / "vb.sec", "pass");
        const std::string lib = ReadFile(dir / "lib.sec");
        ASSERT_EQ(lib, ReadFile(dir / "vb.sec")) << n;
        ASSERT_EQ(lib, n == 0 ? "????????" : VBEncrypt::SecureMessage(plain, "pass")) << n;
        for (auto reader : kBothModes) {
            for (auto file : {"lib.sec", "vb.sec"}) {
                ASSERT_EQ(
                    MakeCipher(reader)->DeSecureFile(dir / file, dir / "back", "pass").outcome,
                    DeSecureOutcome::Done);
                ASSERT_EQ(ReadFile(dir / "back"), plain) << n << " " << file;
            }
        }
    }
}

TEST(SecuredFile, ProgressBeforeEachPiece) {
    TempDir dir;
    WriteFile(dir / "in", std::string(10000, 'x'));
    for (auto mode : kBothModes) {
        Events events, back;
        MakeCipher(mode, &events)->SecureFile(dir / "in", dir / "out", "pw");
        EXPECT_THAT(events.progress, ElementsAre(10000, 5905, 1810));
        MakeCipher(mode, &back)->DeSecureFile(dir / "out", dir / "plain", "pw");
        EXPECT_THAT(back.progress, ElementsAre(13336, 7876, 2416));
    }
}

TEST(SecuredFile, LargestInputStillFitsInBothModes) {
    TempDir dir;
    { std::ofstream(dir / "big", std::ios::binary); }
    fs::resize_file(dir / "big", VBEncrypt::kMaxLength);
    for (auto mode : kBothModes) {
        ASSERT_EQ(MakeCipher(mode)->SecureFile(dir / "big", dir / "sec", "pw"), 0);
        EXPECT_EQ(ReadFile(dir / "sec").substr(0, 8),
                  VBEncrypt::EncodeLengthHeader(VBEncrypt::kMaxLength));
        EXPECT_EQ(fs::file_size(dir / "sec"), 8u + 4u * (VBEncrypt::kMaxLength / 3));
    }
}

// Each fault leaves the input, the output and the folder as they were.
TEST(SecuredFileFaults, LeaveEverythingAsItWas) {
    TempDir dir;
    const std::string data(300000, 'i');
    WriteFile(dir / "in", data);
    WriteFile(dir / "out", "old content");
    fs::create_directory(dir / "sub");
    fs::create_symlink(dir / "in", dir / "link");
    { std::ofstream(dir / "big", std::ios::binary); }
    fs::resize_file(dir / "big", VBEncrypt::kMaxLength + 1);
    for (const char* sub : {"ro", "small"}) {
        fs::create_directory(dir / sub);
        WriteFile(dir / sub / "out", "old content");
    }
    // Our own node of the full device; /dev/full itself is never touched.
    const bool device = ::mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const Mount bind(dir / "ro", nullptr, (dir / "ro").c_str(), MS_BIND, nullptr);
    const Mount readOnly(dir / "ro", nullptr, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
    const Mount small(dir / "small", "tmpfs", "hushnote-test", 0, "size=128k");
    if (small.ok) {
        WriteFile(dir / "small" / "out", "old content");
    }
    Events stopper;
    stopper.stopAfter = 1;
    struct Case {
        fs::path in, out;
        int error;
        bool runs = true;
        Events* events = nullptr;
    };
    const Case cases[] = {
        {.in = dir / "in", .out = dir / "in", .error = kErrPathAccess},
        {.in = dir / "in", .out = dir / "sub" / ".." / "in", .error = kErrPathAccess},
        {.in = dir / "in", .out = dir / "link", .error = kErrPathAccess},
        {.in = dir / "in", .out = dir / "no" / "x", .error = kErrPathAccess},
        {.in = dir / "in", .out = dir / "in" / "out", .error = kErrPathAccess},
        {.in = dir.path(), .out = dir / "out", .error = kErrPathAccess},
        {.in = dir / "big", .out = dir / "out", .error = kErrInvalidArgument},
        {.in = dir / "in", .out = dir / "out", .error = kErrCancelled, .events = &stopper},
        {.in = dir / "in", .out = dir / "full", .error = kErrDiskFull, .runs = device},
        {.in = dir / "in", .out = dir / "ro" / "out", .error = kErrPathAccess, .runs = readOnly.ok},
        {.in = dir / "in", .out = dir / "small" / "out", .error = kErrDiskFull, .runs = small.ok},
    };
    for (auto mode : kBothModes) {
        for (const auto& c : cases) {
            if (!c.runs) {
                continue;
            }
            SCOPED_TRACE(c.out.string() + " mode " + std::to_string(static_cast<int>(mode)));
            const std::string before = IsDevice(c.out) ? "" : ReadFile(c.out);
            stopper.progress.clear();
            EXPECT_EQ(FailureOf([&] {
                          MakeCipher(mode, c.events)->SecureFile(c.in, c.out, "pw");
                      }).number,
                      c.error);
            EXPECT_EQ(ReadFile(dir / "in"), data);
            EXPECT_EQ(IsDevice(c.out) ? "" : ReadFile(c.out), before);
            EXPECT_FALSE(TemporaryLeft(dir.path()));
            EXPECT_EQ(stopper.progress.size(), c.events ? 2u : 0u) << "stops at the second piece";
        }
    }
    EXPECT_TRUE(!device || IsDevice(dir / "full")) << "the device was replaced by a file";
    if (!device || !readOnly.ok || !small.ok) {
        GTEST_SKIP() << "cannot make devices or mount here: some cases did not run";
    }
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
    for (const auto& [securing, function] : {std::pair{true, "CipherBuffer"},
                                             {true, "EncodeText"},
                                             {false, "CipherBuffer"},
                                             {false, "DecodeText"}}) {
        SCOPED_TRACE(function);
        CCipher cipher(nullptr, HUSHNOTE_SHORT_LIBRARY_DIR);
        const ErrorValue e = FailureOf([&] {
            if (securing) {
                cipher.SecureFile(dir / "plain", dir / "out", function);
            } else {
                cipher.DeSecureFile(dir / "secured", dir / "out", function);
            }
        });
        EXPECT_EQ(e.number, kErrInvalidArgument);
        EXPECT_THAT(e.description, HasSubstr(function));
        EXPECT_EQ(cipher.DLLMode(), kLibrary);
        EXPECT_EQ(dir.Count(), names) << "output or a temporary file left behind";
    }
}

// ---- Inputs: each is secured whole or refused at once with nothing written.

TEST(SecuredFileInput, EachKindIsSecuredWholeOrRefusedAtOnce) {
    TempDir dir;
    const std::string data(20000, 'i');
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const auto rewrite = [&] {
        WriteFile(dir / "in", std::string(20000, 'j'));
        const timespec times[2] = {{0, UTIME_OMIT}, {1000000, 0}};
        ::utimensat(AT_FDCWD, (dir / "in").c_str(), times, 0);
    };
    struct Case {
        const char* name;
        fs::path in;
        std::function<void()> midWay{}; // done at the first progress report
        int error = 0;                  // 0: secured and read back whole
        const char* says = "";
    };
    const auto grow = [&] { std::ofstream(dir / "in", std::ios::app) << "more"; };
    const auto shrink = [&] { fs::resize_file(dir / "in", 5000); };
    const auto remove = [&] { fs::remove(dir / "in"); };
    const fs::path in = dir / "in", control = dir / "no\n\x1b[2J" / "such";
    constexpr const char* kChanged = "changed while it was read";
    constexpr const char* kNotRegular = "not a regular file";
    // clang-format off
    const Case cases[] = {
        {.name = "grows", .in = in, .midWay = grow, .error = kErrPathAccess, .says = kChanged},
        {.name = "shrinks", .in = in, .midWay = shrink, .error = kErrPathAccess, .says = kChanged},
        {.name = "rewritten", .in = in, .midWay = rewrite, .error = kErrPathAccess, .says = kChanged},
        {.name = "removed: read whole through its handle", .in = in, .midWay = remove},
        {.name = "pipe", .in = dir / "fifo", .error = kErrPathAccess, .says = kNotRegular},
        {.name = "device", .in = "/dev/zero", .error = kErrPathAccess, .says = kNotRegular},
        {.name = "folder", .in = dir / "folder", .error = kErrPathAccess, .says = "is a folder"},
        {.name = "control characters", .in = control, .error = kErrFileNotFound, .says = "no\\n\\x1b"},
    };
    // clang-format on
    for (auto mode : kBothModes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(static_cast<int>(mode)));
            WriteFile(dir / "in", data);
            WriteFile(dir / "out", "old content");
            Events events;
            events.atFirstReport = c.midWay;
            // A pipe opened the blocking way waits for a writer for ever.
            auto run = std::async(std::launch::async, [&] {
                return FailureOf(
                    [&] { MakeCipher(mode, &events)->SecureFile(c.in, dir / "out", "pw"); });
            });
            if (run.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
                ADD_FAILURE() << "blocked";
                ::close(::open((dir / "fifo").c_str(), O_WRONLY | O_NONBLOCK));
            }
            const ErrorValue e = run.get();
            EXPECT_EQ(e.number, c.error) << e.description;
            EXPECT_THAT(e.description, HasSubstr(c.says));
            EXPECT_THAT(e.description, Not(HasSubstr("\n")));
            if (c.error == 0) {
                MakeCipher(mode)->DeSecureFile(dir / "out", dir / "back", "pw");
                EXPECT_EQ(ReadFile(dir / "back"), data);
            } else {
                EXPECT_EQ(ReadFile(dir / "out"), "old content");
            }
            EXPECT_FALSE(TemporaryLeft(dir.path()));
        }
    }
}

TEST(SecuredFileInput, FileThatReportsNoSizeIsReadToItsEnd) {
    TempDir dir;
    const std::string version = ReadFile("/proc/version");
    ASSERT_EQ(fs::file_size("/proc/version"), 0u) << "the kernel now reports a size";
    for (auto mode : kBothModes) {
        ASSERT_EQ(MakeCipher(mode)->SecureFile("/proc/version", dir / "sec", "pw"), 0);
        MakeCipher(mode)->DeSecureFile(dir / "sec", dir / "back", "pw");
        EXPECT_EQ(ReadFile(dir / "back"), version);
    }
}

// The window's open dialog asked the user before it offered a new name; the
// command line and a dangling link did not.
TEST(SecuredFileInput, OnlyTheWindowCreatesAMissingInput) {
    TempDir dir;
    EXPECT_EQ(FailureOf([&] { fileio::InputFile(dir / "none", fileio::Purpose::Secure); }).number,
              kErrFileNotFound);
    EXPECT_FALSE(fs::exists(dir / "none"));
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_EQ(FailureOf([&] {
                  MakeCipher(kBuiltIn)->SecureFile(dir / "dangling", dir / "o", "pw");
              }).number,
              kErrFileNotFound);
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    for (auto mode : kBothModes) {
        Events events;
        fs::remove(dir / "new");
        ASSERT_EQ(MakeCipher(mode, &events)->SecureFile(dir / "new", dir / "sec", "pw"), 0);
        EXPECT_EQ(ReadFile(dir / "sec"), "????????");
        EXPECT_TRUE(events.progress.empty());
    }
}

// ---- Outputs

TEST(SecuredFileOutput, TemporaryFileIsPrivateUntilWrittenThenTakesTheFinalMode) {
    TempDir dir;
    WriteFile(dir / "in", std::string(20000, 'i'));
    WriteFile(dir / "shared", "old");
    fs::permissions(dir / "shared", static_cast<fs::perms>(04754));
    const mode_t umask = ::umask(027);
    for (const auto& [out, final] : {std::pair{"new", 0640u}, {"shared", 0754u}}) {
        SCOPED_TRACE(out);
        mode_t seen = 0;
        Events peek;
        peek.atFirstReport = [&] {
            for (const auto& e : fs::directory_iterator(dir.path())) {
                if (e.path().filename().string().rfind(".hushnote-", 0) == 0) {
                    seen = ModeOf(e.path());
                }
            }
        };
        ASSERT_EQ(MakeCipher(kLibrary, &peek)->SecureFile(dir / "in", dir / out, "pw"), 0);
        EXPECT_EQ(seen, 0600u) << "others could read the file while it was written";
        EXPECT_EQ(ModeOf(dir / out), final) << "no set-user-ID carried over";
    }
    ::umask(umask);
}

TEST(SecuredFileOutput, LinksDevicesDescriptorsAndTheLongestName) {
    TempDir dir;
    WriteFile(dir / "in", "data");
    const std::string secured = VBEncrypt::SecureMessage("data", "pw");
    const std::string longest(255, 'n');
    ASSERT_EQ(MakeCipher(kBuiltIn)->SecureFile(dir / "in", dir / longest, "pw"), 0);
    EXPECT_EQ(ReadFile(dir / longest), secured);
    fs::remove(dir / longest);

    // A link is followed, and the file it names keeps its mode.
    WriteFile(dir / "target", std::string(5000, 'z'));
    fs::permissions(dir / "target", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(dir / "target", dir / "link");
    MakeCipher(kBuiltIn)->SecureFile(dir / "in", dir / "link", "pw");
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "target"), secured);
    EXPECT_EQ(ModeOf(dir / "target"), 0600u);

    // As "secure-file in /dev/stdout >> log" hands it over: appended to, never
    // replaced, and the descriptor stays open.
    WriteFile(dir / "log", "earlier\n");
    const int fd = ::open((dir / "log").c_str(), O_WRONLY | O_APPEND);
    for (const char* name : {"/dev/fd/", "/proc/self/fd/"}) {
        ASSERT_EQ(MakeCipher(kLibrary)->SecureFile(dir / "in", name + std::to_string(fd), "pw"), 0);
    }
    EXPECT_EQ(ReadFile(dir / "log"), "earlier\n" + secured + secured);
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    ::close(fd);

    // The descriptor of the input itself is refused before it is written.
    const int in = ::open((dir / "in").c_str(), O_RDWR);
    EXPECT_EQ(FailureOf([&] {
                  MakeCipher(kBuiltIn)->SecureFile(dir / "in", "/dev/fd/" + std::to_string(in),
                                                   "pw");
              }).number,
              kErrPathAccess);
    ::close(in);
    EXPECT_EQ(ReadFile(dir / "in"), "data");

    // A stream cannot be taken back: the failure says what stays.
    const int full = ::open("/dev/full", O_WRONLY);
    const ErrorValue e = FailureOf([&] {
        MakeCipher(kBuiltIn)->SecureFile(dir / "in", "/dev/fd/" + std::to_string(full), "pw");
    });
    ::close(full);
    EXPECT_EQ(e.number, kErrDiskFull);
    EXPECT_THAT(e.description, HasSubstr("stays there"));
    EXPECT_EQ(dir.Count(), 4u);

    // A link to a device (our own null device node) is written in place.
    if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make device nodes here";
    }
    fs::create_symlink(dir / "null", dir / "stdout");
    EXPECT_EQ(MakeCipher(kLibrary)->SecureFile(dir / "in", dir / "stdout", "pw"), 0);
    EXPECT_TRUE(IsDevice(dir / "null"));
    EXPECT_TRUE(fs::is_symlink(dir / "stdout"));
}

// ---- Secured files as they travel

TEST(DamagedSecuredFile, WrappedReadsRightForeignIsRefusedCutIsRecoveredAndTold) {
    TempDir dir;
    const std::string plain =
        "The quick brown fox jumps over the lazy dog, again and again. 0123456789";
    const std::string secured = VBEncrypt::SecureMessage(plain, "pw");
    auto wrapped = [](const std::string& lineEnd, const std::string& text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); i += 76) {
            out += text.substr(i, 76) + lineEnd;
        }
        return out;
    };
    // Line breaks split groups across the pieces of a longer file.
    const std::string longPlain(20000, 'L');
    const std::string longWrapped = wrapped("\n", VBEncrypt::SecureMessage(longPlain, "pw"));
    auto with = [&](std::size_t at, char c) {
        std::string s = secured;
        s[at] = c;
        return s;
    };
    using enum DeSecureOutcome;
    struct Case {
        const char* name;
        std::string file;
        DeSecureOutcome outcome = Done;
        std::string written{}; // when written at all
        std::string reason{};  // NotSecured
        std::int64_t recovered = 0;
    };
    const std::string cut = secured.substr(0, 8 + 40);
    const std::string longHeader = VBEncrypt::EncodeLengthHeader(4) + secured.substr(8);
    // clang-format off
    const Case cases[] = {
        {.name = "wrapped with LF", .file = wrapped("\n", secured), .written = plain},
        {.name = "wrapped with CR LF", .file = "\r\n" + wrapped("\r\n", secured), .written = plain},
        {.name = "wrapped, several pieces", .file = longWrapped, .written = longPlain},
        {.name = "trailing line break", .file = secured + "\n", .written = plain},
        {.name = "plain text", .file = "hi you\n", .outcome = NotSecured, .reason = "byte 3 is 0x20"},
        {.name = "foreign in body", .file = with(20, ' '), .outcome = NotSecured, .reason = "byte 21 is 0x20"},
        {.name = "foreign in header", .file = with(2, '\x80'), .outcome = NotSecured, .reason = "byte 3 is 0x80"},
        {.name = "too short for a header", .file = "WU", .outcome = NotSecured},
        {.name = "empty", .file = "", .outcome = NotSecured},
        {.name = "cut", .file = cut, .outcome = Damaged, .written = plain.substr(0, 30), .recovered = 30},
        {.name = "more than the header gives", .file = longHeader, .written = plain.substr(0, 4)},
    };
    // clang-format on
    for (auto mode : kBothModes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(static_cast<int>(mode)));
            WriteFile(dir / "in", c.file);
            WriteFile(dir / "out", "old content");
            const DeSecureResult r = MakeCipher(mode)->DeSecureFile(dir / "in", dir / "out", "pw");
            EXPECT_EQ(r.outcome, c.outcome);
            EXPECT_EQ(ReadFile(dir / "out"), c.outcome == NotSecured ? "old content" : c.written);
            EXPECT_THAT(r.reason, HasSubstr(c.reason));
            EXPECT_EQ(r.expected, c.outcome == Damaged ? std::int64_t(plain.size()) : 0);
            EXPECT_EQ(r.recovered, c.recovered);
            EXPECT_EQ(dir.Count(), 2u);
        }
    }
}

} // namespace
} // namespace hushnote
