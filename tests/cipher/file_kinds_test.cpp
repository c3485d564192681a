// Secured files against what a real system hands over: inputs that are not
// plain files or change while they are read, outputs that are streams or
// long names, and secured files that a mail program wrapped or cut.
#include "cipher/CCipher.h"
#include "cipher/SecuredFileIO.h"
#include "cipher/VBEncrypt.h"
#include "file_test_util.h"
#include "test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::HasSubstr;
using ::testing::Not;

// Runs an action at the first progress report, in the middle of the file.
class AtFirstReport : public CipherEvents {
public:
    explicit AtFirstReport(std::function<void()> action) : action_(std::move(action)) {}
    void ShowLibraryError(const std::string&) override {}
    bool ReportProgress(std::int64_t, std::int64_t) override {
        if (action_) {
            std::exchange(action_, nullptr)();
        }
        return true;
    }

private:
    std::function<void()> action_;
};

std::unique_ptr<CCipher> MakeCipher(std::int16_t mode, CipherEvents* events = nullptr) {
    auto c = std::make_unique<CCipher>(events);
    c->SetDLLMode(mode);
    return c;
}

// The failure a call throws: its number and description, or 0 and "".
std::pair<int, std::string> FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return {e.number(), e.description()};
    }
    return {0, ""};
}

// Whether a temporary file of an operation was left in dir.
bool TemporaryLeft(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir)) {
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

// ---- Inputs: each is secured whole or refused at once with nothing written.

TEST(SecuredFileInput, EachKindIsSecuredWholeOrRefusedAtOnce) {
    TempDir dir;
    const std::string data(20000, 'i');
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        fs::path in;
        std::function<void()> midWay{}; // done at the first progress report
        int error;                      // 0: secured and read back whole
        const char* says = "";
    };
    const Case cases[] = {
        {.name = "grows",
         .in = dir / "in",
         .midWay = [&] { std::ofstream(dir / "in", std::ios::app) << "more"; },
         .error = kErrPathAccess,
         .says = "changed while it was read"},
        {.name = "shrinks",
         .in = dir / "in",
         .midWay = [&] { fs::resize_file(dir / "in", 5000); },
         .error = kErrPathAccess,
         .says = "changed while it was read"},
        {.name = "rewritten, same size",
         .in = dir / "in",
         .midWay =
             [&] {
                 WriteFile(dir / "in", std::string(20000, 'j'));
                 const timespec times[2] = {{0, UTIME_OMIT}, {1000000, 0}};
                 ::utimensat(AT_FDCWD, (dir / "in").c_str(), times, 0);
             },
         .error = kErrPathAccess,
         .says = "changed while it was read"},
        {.name = "removed: still read whole through its handle",
         .in = dir / "in",
         .midWay = [&] { fs::remove(dir / "in"); },
         .error = 0},
        {.name = "named pipe",
         .in = dir / "fifo",
         .error = kErrPathAccess,
         .says = "not a regular file"},
        {.name = "device",
         .in = "/dev/zero",
         .error = kErrPathAccess,
         .says = "not a regular file"},
        {.name = "folder", .in = dir / "folder", .error = kErrPathAccess, .says = "is a folder"},
        {.name = "control characters in the name",
         .in = dir / "no\n\x1b[2J" / "such",
         .error = kErrFileNotFound,
         .says = "no\\n\\x1b[2J/such"},
    };
    for (std::int16_t mode : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(mode));
            WriteFile(dir / "in", data);
            WriteFile(dir / "out", "old content");
            AtFirstReport events(c.midWay);
            // A pipe opened the blocking way waits for a writer for ever.
            auto run = std::async(std::launch::async, [&] {
                return FailureOf(
                    [&] { MakeCipher(mode, &events)->SecureFile(c.in, dir / "out", "pw"); });
            });
            if (run.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
                ADD_FAILURE() << "blocked";
                ::close(::open((dir / "fifo").c_str(), O_WRONLY | O_NONBLOCK));
            }
            const auto [error, says] = run.get();
            EXPECT_EQ(error, c.error) << says;
            EXPECT_THAT(says, HasSubstr(c.says));
            EXPECT_THAT(says, Not(HasSubstr("\n")));
            if (c.error == 0) {
                ASSERT_EQ(MakeCipher(mode)->DeSecureFile(dir / "out", dir / "back", "pw"), 0);
                EXPECT_EQ(ReadFile(dir / "back"), data);
                fs::remove(dir / "back");
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
    ASSERT_FALSE(version.empty());
    ASSERT_EQ(fs::file_size("/proc/version"), 0u) << "the kernel now reports a size";
    for (std::int16_t mode : {0, 1}) {
        ASSERT_EQ(MakeCipher(mode)->SecureFile("/proc/version", dir / "sec", "pw"), 0);
        ASSERT_EQ(MakeCipher(mode)->DeSecureFile(dir / "sec", dir / "back", "pw"), 0);
        EXPECT_EQ(ReadFile(dir / "back"), version);
    }
}

TEST(SecuredFileInput, OnlyTheWindowCreatesAMissingInput) {
    TempDir dir;
    EXPECT_EQ(FailureOf([&] { fileio::InputFile(dir / "none", fileio::Purpose::Secure); }).first,
              kErrFileNotFound);
    EXPECT_FALSE(fs::exists(dir / "none"));
    // A dangling link is not a name the dialog offered to create.
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_EQ(
        FailureOf([&] { MakeCipher(1)->SecureFile(dir / "dangling", dir / "o", "pw"); }).first,
        kErrFileNotFound);
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    ASSERT_EQ(MakeCipher(1)->SecureFile(dir / "new", dir / "sec", "pw"), 0);
    EXPECT_EQ(ReadFile(dir / "sec"), "????????");
}

// ---- Outputs

TEST(SecuredFileOutput, TemporaryFileIsPrivateUntilWrittenThenTakesTheFinalMode) {
    TempDir dir;
    WriteFile(dir / "in", std::string(20000, 'i'));
    WriteFile(dir / "shared", "old");
    fs::permissions(dir / "shared", static_cast<fs::perms>(04754));
    const mode_t umask = ::umask(027);
    struct Case {
        const char* out;
        mode_t final;
    } const cases[] = {{"new", 0640}, {"shared", 0754}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        mode_t seen = 0;
        AtFirstReport peek([&] {
            for (const auto& e : fs::directory_iterator(dir.path())) {
                if (e.path().filename().string().rfind(".hushnote-", 0) == 0) {
                    seen = ModeOf(e.path());
                }
            }
        });
        ASSERT_EQ(MakeCipher(0, &peek)->SecureFile(dir / "in", dir / c.out, "pw"), 0);
        EXPECT_EQ(seen, 0600u) << "others could read the file while it was written";
        EXPECT_EQ(ModeOf(dir / c.out), c.final) << "no set-user-ID carried over";
    }
    ::umask(umask);
}

TEST(SecuredFileOutput, LongestNameAndDescriptorsOfTheProcess) {
    TempDir dir;
    WriteFile(dir / "in", "data");
    const std::string secured = VBEncrypt::SecureMessage("data", "pw");
    const std::string longest(255, 'n');
    ASSERT_EQ(MakeCipher(1)->SecureFile(dir / "in", dir / longest, "pw"), 0);
    EXPECT_EQ(ReadFile(dir / longest), secured);

    // As "secure-file in /dev/stdout >> log" hands it over: appended to, never
    // replaced, and the descriptor stays open.
    WriteFile(dir / "log", "earlier\n");
    const int fd = ::open((dir / "log").c_str(), O_WRONLY | O_APPEND);
    for (const char* name : {"/dev/fd/", "/proc/self/fd/"}) {
        ASSERT_EQ(
            MakeCipher(0)->SecureFile(dir / "in", std::string(name) + std::to_string(fd), "pw"), 0);
    }
    EXPECT_EQ(ReadFile(dir / "log"), "earlier\n" + secured + secured);
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    ::close(fd);

    // The descriptor of the input itself is refused before it is written.
    const int in = ::open((dir / "in").c_str(), O_RDWR);
    EXPECT_EQ(FailureOf([&] {
                  MakeCipher(1)->SecureFile(dir / "in", "/dev/fd/" + std::to_string(in), "pw");
              }).first,
              kErrPathAccess);
    ::close(in);
    EXPECT_EQ(ReadFile(dir / "in"), "data");

    // A stream cannot be taken back: the failure says what stays.
    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    const auto [error, says] = FailureOf(
        [&] { MakeCipher(1)->SecureFile(dir / "in", "/dev/fd/" + std::to_string(full), "pw"); });
    ::close(full);
    EXPECT_EQ(error, kErrDiskFull);
    EXPECT_THAT(says, HasSubstr("stays there"));
    EXPECT_EQ(dir.Count(), 3u);
}

// ---- Secured files as they travel

TEST(DamagedSecuredFile, WrappedReadsRightForeignIsRefusedCutIsRecoveredAndTold) {
    TempDir dir;
    const std::string plain =
        "The quick brown fox jumps over the lazy dog, again and again. 0123456789";
    const std::string secured = VBEncrypt::SecureMessage(plain, "pw");
    auto wrapped = [&](const std::string& lineEnd) {
        std::string out;
        for (std::size_t i = 0; i < secured.size(); i += 76) {
            out += secured.substr(i, 76) + lineEnd;
        }
        return out;
    };
    std::string foreignInBody = secured;
    foreignInBody[20] = ' ';
    std::string foreignInHeader = secured;
    foreignInHeader[2] = '\x80';
    const std::string cut = secured.substr(0, 8 + 40);
    struct Case {
        const char* name;
        std::string file;
        std::int16_t result;
        std::string written{}; // when written at all
        std::string reason{};  // kNotSecured
        std::int64_t recovered = 0;
    };
    const Case cases[] = {
        {.name = "wrapped with LF", .file = wrapped("\n"), .result = 0, .written = plain},
        {.name = "wrapped with CR LF",
         .file = "\r\n" + wrapped("\r\n"),
         .result = 0,
         .written = plain},
        {.name = "trailing line break", .file = secured + "\n", .result = 0, .written = plain},
        {.name = "plain text",
         .file = "hello world\n",
         .result = CCipher::kNotSecured,
         .reason = "byte 6 is 0x20"},
        {.name = "foreign byte in the body",
         .file = foreignInBody,
         .result = CCipher::kNotSecured,
         .reason = "byte 21 is 0x20"},
        {.name = "foreign byte in the header",
         .file = foreignInHeader,
         .result = CCipher::kNotSecured,
         .reason = "byte 3 is 0x80"},
        {.name = "too short for a header", .file = "WU", .result = CCipher::kNotSecured},
        {.name = "empty", .file = "", .result = CCipher::kNotSecured},
        {.name = "cut short",
         .file = cut,
         .result = CCipher::kDamaged,
         .written = plain.substr(0, 30),
         .recovered = 30},
        {.name = "more than the header gives",
         .file = VBEncrypt::EncodeLengthHeader(4) + secured.substr(8),
         .result = 0,
         .written = plain.substr(0, 4)},
    };
    for (std::int16_t mode : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(mode));
            WriteFile(dir / "in", c.file);
            WriteFile(dir / "out", "old content");
            auto cipher = MakeCipher(mode);
            EXPECT_EQ(cipher->DeSecureFile(dir / "in", dir / "out", "pw"), c.result);
            const bool written = c.result != CCipher::kNotSecured;
            EXPECT_EQ(ReadFile(dir / "out"), written ? c.written : "old content");
            EXPECT_THAT(cipher->LastProblem().reason, HasSubstr(c.reason));
            if (c.result == CCipher::kDamaged) {
                EXPECT_EQ(cipher->LastProblem().expected, static_cast<std::int64_t>(plain.size()));
                EXPECT_EQ(cipher->LastProblem().recovered, c.recovered);
            }
            EXPECT_EQ(dir.Count(), 2u);
        }
    }
}

} // namespace
} // namespace hushnote
