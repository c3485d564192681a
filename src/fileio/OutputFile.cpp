#include "fileio/SecuredFileIO.h"

#include "common/error.h"
#include "common/message.h"
#include "fileio/BackgroundIO.h"
#include "fileio/OutputTarget.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <utility>

namespace hushnote::fileio {
namespace {

// What is written in place is gathered to this size first: a write call per
// piece would cost more than the work on it.
constexpr std::size_t kInPlaceBuffer = std::size_t{1} << 18;

// A fresh name for a temporary file, short whatever the target's name:
// make(name) creates it, or fails with EEXIST when the name is taken.
std::string UnusedName(const std::function<bool(const char*)>& make,
                       const std::filesystem::path& path) {
    std::mt19937_64 rng(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".hushnote-%016llx",
                      static_cast<unsigned long long>(rng()));
        if (make(name)) {
            return name;
        }
        if (errno != EEXIST) {
            ThrowFileError(errno, path, true);
        }
    }
    ThrowFileError(EEXIST, path, true);
}

// Gives the temporary file fd the old file's owner and group where they
// differ from what it was created with (a set-group-ID folder gives its own
// group), before anything is written: the replacement would change hands.
void KeepOwner(int fd, const struct stat& old, const std::filesystem::path& path) {
    struct stat now = {};
    if (::fstat(fd, &now) != 0) {
        ThrowFileError(errno, path, true);
    }
    const bool ours = old.st_uid == now.st_uid;
    if ((!ours || old.st_gid != now.st_gid) &&
        ::fchown(fd, ours ? uid_t(-1) : old.st_uid, old.st_gid) != 0) {
        throw Failure(kErrPathAccess,
                      QuotedPath(path) + (ours ? " belongs to a group you are not in."
                                               : " belongs to another user."));
    }
}

} // namespace

OutputFile::OutputFile(const std::filesystem::path& path, const InputFile& input,
                       OutputOptions options)
    : path_(path), options_(std::move(options)) {
    try {
        Open(input);
    } catch (...) {
        Abandon();
        throw;
    }
}

void OutputFile::Open(const InputFile& input) {
    const std::filesystem::path& path = path_;
    if (path.empty()) {
        throw Failure(kErrPathAccess, "No output file was named.");
    }
    auto refuseInput = [&](const struct stat& st) {
        if (input.IsFile(st)) {
            throw Failure(kErrPathAccess, "The output file " + QuotedPath(path) +
                                              " is the input file itself: choose another name.");
        }
    };
    struct stat st = {};
    const bool exists = ::stat(path.c_str(), &st) == 0; // follows links
    const int err = exists ? 0 : errno;
    if (const std::optional<int> fd = detail::DescriptorFor(path, exists ? &st : nullptr)) {
        if (::fstat(*fd, &st) != 0) {
            ThrowFileError(errno, path, true);
        }
        refuseInput(st);
        // A copy of the descriptor shares its offset and its append mode; it
        // is closed at the end, the descriptor itself stays open.
        fd_ = ::fcntl(*fd, F_DUPFD_CLOEXEC, 3);
        if (fd_ < 0) {
            ThrowFileError(errno, path, true);
        }
        return;
    }
    struct stat link = {};
    if (err == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // As cp does: writing through it would create a file the user never
        // named, replacing it would lose the link.
        throw Failure(kErrPathAccess, QuotedPath(path) + " is a link to a missing file.");
    }
    if (err != 0 && err != ENOENT) {
        ThrowFileError(err, path, true);
    }
    if (exists) {
        refuseInput(st);
        if (S_ISDIR(st.st_mode)) {
            throw Failure(kErrPathAccess, FolderNotFile(path));
        }
    }
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a pipe: replacing it with a file would damage the
        // system, so it is written in place.
        OpenInPlace();
    } else {
        OpenReplacement(exists ? &st : nullptr);
    }
}

void OutputFile::OpenInPlace() {
    // Opened without blocking, also where writing may block later: opening a
    // pipe that no program reads would otherwise wait for one for ever.
    constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    fd_ = ::open(path_.c_str(), kFlags, 0666);
    struct stat st = {};
    if (fd_ < 0) {
        const int err = errno;
        // A socket or a device without its hardware says ENXIO too.
        if (err == ENXIO && ::stat(path_.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
            throw Failure(kErrPathAccess, QuotedPath(path_) + " is a pipe that no program reads.");
        }
        ThrowFileError(err, path_, true);
    }
    nonBlocking_ = options_.pipeWait && ::fstat(fd_, &st) == 0 &&
                   (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
    if (!nonBlocking_) {
        // Only a pipe has a reader to wait for, and only the window waits in
        // its event loop; a device, or any output of the command line, is
        // written as usual.
        (void)::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    }
}

void OutputFile::OpenReplacement(const struct stat* old) {
    std::filesystem::path target = path_;
    struct stat link = {};
    if (old != nullptr && ::lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // The file the link points to is replaced; the link stays.
        std::error_code ec;
        target = std::filesystem::canonical(path_, ec);
        if (ec) {
            ThrowFileError(ec.value(), path_, true);
        }
    }
    const std::filesystem::path dir = target.parent_path();
    name_ = target.filename().native();
    dirFd_ = ::open(dir.empty() ? "." : dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) {
        ThrowFileError(errno, path_, true);
    }
    if (old != nullptr && ::faccessat(dirFd_, name_.c_str(), W_OK, AT_EACCESS) != 0) {
        // As the shell's ">" and cp refuse it; root may write anything.
        if (errno == EACCES || errno == EPERM) {
            throw Failure(kErrPathAccess, QuotedPath(path_) + " is write-protected.");
        }
        ThrowFileError(errno, path_, true);
    }
    if (old != nullptr && old->st_nlink > 1) {
        // Replacing gives only this name the new contents; writing through
        // would leave the file half old, half new if the program were killed.
        throw Failure(kErrPathAccess, QuotedPath(path_) +
                                          " has other names (hard links) that would keep the old "
                                          "contents.");
    }
    if (::faccessat(dirFd_, ".", W_OK, AT_EACCESS) != 0 && errno == EACCES) {
        // The new file is made beside the old one before it takes its name,
        // even where the old file itself could be written.
        throw Failure(kErrPathAccess,
                      old != nullptr
                          ? "The folder of " + QuotedPath(path_) +
                                " cannot be written, so the file cannot be replaced "
                                "safely."
                          : "The folder for " + QuotedPath(path_) + " cannot be written.");
    }
    // Never set-user-ID, set-group-ID or sticky: only what a plain file of the
    // user's may carry.
    finalMode_ = old != nullptr ? (old->st_mode & 0777) : detail::NewFileMode();
    CreateTemporary();
    if (old != nullptr) {
        KeepOwner(fd_, *old, path_);
        detail::KeepAttributes(fd_, path_);
    }
    writeBehind_ = std::make_unique<WriteBehind>(fd_);
}

void OutputFile::CreateTemporary() {
    // Only the user can read it while it fills; it widens to its final
    // permissions once it holds the target's name. Without a name, nothing is
    // left behind however the program ends.
    if (!options_.namedTemporary && ::access("/proc/self/fd", X_OK) == 0) {
        fd_ = ::openat(dirFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        unnamed_ = fd_ >= 0;
        if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR) {
            ThrowFileError(errno, path_, true);
        }
    }
    if (fd_ < 0) {
        tempName_ = UnusedName(
            [this](const char* name) {
                fd_ = ::openat(dirFd_, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                return fd_ >= 0;
            },
            path_);
    }
}

OutputFile::~OutputFile() {
    Abandon();
}

void OutputFile::Abandon() {
    writeBehind_.reset(); // stops its thread before the descriptor goes
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
    if (!committed_ && !tempName_.empty()) {
        ::unlinkat(dirFd_, tempName_.c_str(), 0);
    }
    if (dirFd_ >= 0) {
        ::close(std::exchange(dirFd_, -1));
    }
}

void OutputFile::ThrowWriteError(int err) const {
    if (dirFd_ >= 0) {
        ThrowFileError(err, path_, true);
    }
    try {
        ThrowFileError(err, path_, true);
    } catch (const Failure& f) {
        throw Failure(f.number(), f.description() + " What was written to it before stays there.");
    }
}

void OutputFile::Write(std::string_view data) {
    if (writeBehind_) {
        if (!writeBehind_->Write(data)) {
            ThrowWriteError(writeBehind_->failure());
        }
        return;
    }
    pending_.append(data);
    if (pending_.size() >= kInPlaceBuffer) {
        WritePending();
    }
}

void OutputFile::WriteWith(std::size_t most, const std::function<std::size_t(char*)>& fill) {
    if (writeBehind_) {
        char* area = writeBehind_->Reserve(most);
        if (area == nullptr) {
            ThrowWriteError(writeBehind_->failure());
        }
        writeBehind_->Fill(fill(area));
        return;
    }
    const std::size_t at = pending_.size();
    pending_.resize(at + most);
    pending_.resize(at + fill(pending_.data() + at));
    if (pending_.size() >= kInPlaceBuffer) {
        WritePending();
    }
}

namespace {

// One write to a pipe whose reader may go away: the window must not die of
// SIGPIPE with the user's message in it, so the signal is held back and
// taken away again, and EPIPE tells instead.
ssize_t WriteWithoutSigpipe(int fd, std::string_view data) {
    sigset_t pipe;
    sigset_t old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    const ssize_t n = ::write(fd, data.data(), data.size());
    const int err = errno;
    const timespec now{};
    if (n < 0 && err == EPIPE && !sigismember(&old, SIGPIPE)) {
        sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return n;
}

} // namespace

void OutputFile::WritePending() {
    std::string_view left = pending_;
    wroteInPlace_ = wroteInPlace_ || !left.empty();
    int err = 0;
    while (nonBlocking_ && !left.empty() && err == 0) {
        // A full pipe waits in the window's event loop, where Close still works.
        const ssize_t n = WriteWithoutSigpipe(fd_, left);
        if (n > 0) {
            left.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EAGAIN) {
            if (!options_.pipeWait(fd_)) {
                pending_.clear();
                ThrowCancelled();
            }
        } else if (n < 0 && errno != EINTR) {
            err = errno;
        }
    }
    if (!nonBlocking_) {
        err = WriteAll(fd_, left);
    }
    pending_.clear();
    if (err != 0) {
        ThrowWriteError(err);
    }
}

void OutputFile::GiveName() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    tempName_ = UnusedName(
        [&](const char* name) {
            return ::linkat(AT_FDCWD, self.c_str(), dirFd_, name, AT_SYMLINK_FOLLOW) == 0;
        },
        path_);
}

void OutputFile::Commit() {
    if (!writeBehind_) {
        WritePending();
    } else {
        if (!writeBehind_->Finish()) {
            ThrowWriteError(writeBehind_->failure());
        }
        if (::fdatasync(fd_) != 0) {
            ThrowWriteError(errno);
        }
        if (unnamed_) {
            // The name lives only until the rename a moment later: a rename
            // cannot put a file without a name over another.
            GiveName();
        }
        if (::renameat(dirFd_, tempName_.c_str(), dirFd_, name_.c_str()) != 0) {
            ThrowWriteError(errno);
        }
        committed_ = true;
        // Only under its final name: a kill before would leave a copy others
        // may read under the temporary one. Failing to widen leaves the file
        // private, which loses nothing.
        (void)::fchmod(fd_, finalMode_);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        ThrowWriteError(errno);
    }
    committed_ = true;
}

} // namespace hushnote::fileio
