// Secured files under the faults a user's machine can throw at them: the input
// changing under the operation, a disk filling up half-way, a folder that
// cannot be written, and a long random soak across both engines.
#include "cipher/CCipher.h"
#include "file_test_util.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using test::FailureNumber;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

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

// A folder of its own file system, mounted for the test when the machine
// allows it (root in a system that permits mounts); unmounted at the end.
class Mount {
public:
    Mount(const fs::path& where, const char* type, const char* source, unsigned long flags,
          const char* options) {
        ok_ = ::mount(source, where.c_str(), type, flags, options) == 0;
        where_ = where;
    }
    ~Mount() {
        if (ok_) {
            ::umount2(where_.c_str(), MNT_DETACH);
        }
    }
    bool ok() const { return ok_; }

private:
    fs::path where_;
    bool ok_ = false;
};

TEST(SecuredFileRobustness, OutputFolderThatCannotBeWritten) {
    TempDir dir;
    WriteFile(dir / "in", std::string(9000, 'i'));
    // A path under a file: no permission bit needed, so it holds for root too.
    for (std::int16_t mode : {0, 1}) {
        EXPECT_EQ(FailureNumber(
                      [&] { MakeCipher(mode)->SecureFile(dir / "in", dir / "in" / "out", "pw"); }),
                  kErrPathAccess);
    }
    fs::create_directory(dir / "ro");
    WriteFile(dir / "ro" / "out", "old content");
    Mount bind(dir / "ro", nullptr, (dir / "ro").c_str(), MS_BIND, nullptr);
    Mount readOnly(dir / "ro", nullptr, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
    if (!bind.ok() || !readOnly.ok()) {
        GTEST_SKIP() << "cannot mount a read-only folder here";
    }
    for (std::int16_t mode : {0, 1}) {
        EXPECT_EQ(FailureNumber(
                      [&] { MakeCipher(mode)->SecureFile(dir / "in", dir / "ro" / "out", "pw"); }),
                  kErrPathAccess);
        EXPECT_EQ(ReadFile(dir / "ro" / "out"), "old content");
    }
}

TEST(SecuredFileRobustness, DiskThatFillsUpHalfWay) {
    TempDir dir;
    std::mt19937 rng(11);
    WriteFile(dir / "in", test::RandomBytes(rng, 300000));
    fs::create_directory(dir / "small");
    Mount tmpfs(dir / "small", "tmpfs", "hushnote-test", 0, "size=128k");
    if (!tmpfs.ok()) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    WriteFile(dir / "small" / "out", "old content");
    for (std::int16_t mode : {0, 1}) {
        EXPECT_EQ(FailureNumber([&] {
                      MakeCipher(mode)->SecureFile(dir / "in", dir / "small" / "out", "pw");
                  }),
                  kErrDiskFull);
        EXPECT_EQ(ReadFile(dir / "small" / "out"), "old content");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "small"), fs::directory_iterator()), 1)
            << "the partial temporary file was left on the full disk";
    }
}

TEST(SecuredFileRobustness, ThousandRandomFilesAndPasswordsAcrossBothEngines) {
    TempDir dir;
    std::mt19937 rng(12);
    std::uniform_int_distribution<std::size_t> size(0, 9000), pwLength(1, 40);
    std::uniform_int_distribution<int> mode(0, 1);
    for (int round = 0; round < 1000; ++round) {
        const std::string plain = test::RandomBytes(rng, size(rng));
        const std::string password = test::RandomBytes(rng, pwLength(rng));
        const auto by = static_cast<std::int16_t>(mode(rng));
        const auto back = static_cast<std::int16_t>(mode(rng));
        WriteFile(dir / "plain", plain);
        ASSERT_EQ(MakeCipher(by)->SecureFile(dir / "plain", dir / "sec", password), 0);
        ASSERT_EQ(MakeCipher(back)->DeSecureFile(dir / "sec", dir / "back", password), 0);
        ASSERT_EQ(ReadFile(dir / "back"), plain)
            << "round " << round << ", secured in mode " << by << ", read in mode " << back;
    }
}

} // namespace
} // namespace hushnote
