#include "fileio/SecuredFileIO.h"

#include "common/error.h"
#include "common/message.h"
#include "engine/VBEncrypt.h"
#include "engine/Words.h"
#include "fileio/BackgroundIO.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace hushnote::fileio {
namespace {

struct Limits {
    std::int64_t onDisk;   // the most a file that reports its size may hold
    std::int64_t inMemory; // the most read from a file that reports none
    std::string tooLarge;  // why more is refused
};

Limits LimitsFor(Purpose purpose) {
    switch (purpose) {
    case Purpose::Secure:
        return {VBEncrypt::kMaxLength, VBEncrypt::kMaxLength, words::SecuredFileLimit()};
    case Purpose::DeSecure:
        return {INT64_MAX, VBEncrypt::kMaxSecuredInput, "no secured file is that long."};
    case Purpose::Load:
        break;
    }
    return {VBEncrypt::kMaxLength, VBEncrypt::kMaxLength,
            "a message can be loaded from at most " + Grouped(VBEncrypt::kMaxLength) + " bytes."};
}

// Opens path for reading without blocking, creating it first when asked to.
// O_EXCL keeps the creation from following a dangling link.
int OpenForReading(const std::filesystem::path& path, IfMissing ifMissing) {
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    int fd = ::open(path.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT && ifMissing == IfMissing::Create) {
        fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
        if (fd < 0 && errno == EEXIST) {
            fd = ::open(path.c_str(), kFlags);
        }
    }
    if (fd < 0) {
        ThrowFileError(errno, path, false);
    }
    return fd;
}

void RefuseIrregular(int fd, const struct stat& st, const std::filesystem::path& path) {
    if (S_ISDIR(st.st_mode)) {
        throw Failure(kErrPathAccess, FolderNotFile(path));
    }
    if (!S_ISREG(st.st_mode)) {
        // A pipe or a device has no end to wait for and no length for a header.
        throw Failure(kErrPathAccess, QuotedPath(path) + " is not a regular file.");
    }
    // A /sys file reports a size its contents never have: the kernel makes
    // them up as they are read.
    struct statfs fs = {};
    if (::fstatfs(fd, &fs) == 0 && fs.f_type == SYSFS_MAGIC) {
        throw Failure(kErrPathAccess, QuotedPath(path) +
                                          " cannot be read as a regular file: the system makes up "
                                          "its contents while it is read.");
    }
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

void ThrowCancelled() {
    throw Failure(kErrCancelled, "The operation was cancelled.");
}

std::string FolderNotFile(const std::filesystem::path& path) {
    return QuotedPath(path) + " is a folder, not a file.";
}

void ThrowFileError(int err, const std::filesystem::path& path, bool writing) {
    const std::string reason = std::strerror(err);
    switch (err) {
    case ENOENT:
        if (writing) {
            throw Failure(kErrPathAccess,
                          "The folder for " + QuotedPath(path) + " does not exist.");
        }
        throw Failure(kErrFileNotFound, "File not found: " + QuotedPath(path) + ".");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        throw Failure(kErrDiskFull, "Disk full: " + QuotedPath(path) + " could not be written.");
    case EINTR:
        // Only a signal that asks the program to end breaks off a read or a
        // write, and it ends the program next.
        throw Failure(kErrCancelled, std::string(writing ? "Writing " : "Reading ") +
                                         QuotedPath(path) + " was interrupted.");
    case EPIPE:
        throw Failure(kErrPathAccess, "Cannot write " + QuotedPath(path) +
                                          ": the program that read it has gone away.");
    default:
        throw Failure(err == ENOMEM ? kErrOutOfMemory : kErrPathAccess,
                      std::string(writing ? "Cannot write " : "Cannot read ") + QuotedPath(path) +
                          ": " + reason + ".");
    }
}

InputFile::InputFile(const std::filesystem::path& path, Purpose purpose, IfMissing ifMissing)
    : path_(path) {
    const int fd = OpenForReading(path, ifMissing);
    struct Closer {
        int fd;
        ~Closer() {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    } closer{fd};
    if (::fstat(fd, &opened_) != 0) {
        ThrowFileError(errno, path, false);
    }
    RefuseIrregular(fd, opened_, path);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ThrowFileError(errno, path, false);
    }
    const Limits limits = LimitsFor(purpose);
    if (opened_.st_size > limits.onDisk) {
        throw Failure(kErrInvalidArgument, QuotedPath(path) + " is " + Grouped(opened_.st_size) +
                                               " bytes long; " + std::string(limits.tooLarge));
    }
    size_ = opened_.st_size;
    if (size_ == 0) {
        // Reports no size but may hold data, as /proc files do: the length
        // goes first into the header, so read it all before anything else.
        ReadAhead all(fd, limits.inMemory + 1);
        char chunk[65536];
        for (std::size_t got; (got = all.Read(chunk, sizeof chunk)) > 0;) {
            memory_.append(chunk, got);
            if (static_cast<std::int64_t>(memory_.size()) > limits.inMemory) {
                throw Failure(kErrInvalidArgument, QuotedPath(path) + " is more than " +
                                                       Grouped(limits.inMemory) + " bytes long; " +
                                                       std::string(limits.tooLarge));
            }
        }
        if (all.failure() != 0) {
            ThrowFileError(all.failure(), path_, false);
        }
        inMemory_ = true;
        size_ = static_cast<std::int64_t>(memory_.size());
    }
    fd_ = fd;
    closer.fd = -1;
}

InputFile::~InputFile() {
    readAhead_.reset(); // stops its thread before the descriptor goes
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t InputFile::Read(char* buffer, std::size_t n) {
    if (inMemory_) {
        const std::size_t got = std::min(n, memory_.size() - memoryRead_);
        std::memcpy(buffer, memory_.data() + memoryRead_, got);
        memoryRead_ += got;
        return got;
    }
    if (!readAhead_) {
        // From here on nothing may change it; before, a rename while the
        // password was typed may have changed its change time.
        struct stat st = {};
        if (::fstat(fd_, &st) != 0) {
            ThrowFileError(errno, path_, false);
        }
        readFrom_ = st.st_ctim;
        readAhead_ = std::make_unique<ReadAhead>(fd_, size_);
    }
    const std::size_t got = readAhead_->Read(buffer, n);
    if (got < n && readAhead_->failure() != 0) {
        ThrowFileError(readAhead_->failure(), path_, false);
    }
    return got;
}

void InputFile::ThrowChanged() const {
    throw Failure(kErrPathAccess, QuotedPath(path_) + " changed while it was read.");
}

void InputFile::CheckUnchanged() {
    if (inMemory_) {
        return;
    }
    // The header already holds the length: a file that grew, shrank or was
    // rewritten cannot be described by it. Anyone may put the modification
    // time back, but no one the change time; it also moves when the file is
    // renamed or removed, which cannot be told apart from that.
    struct stat now = {};
    if (::fstat(fd_, &now) != 0 || now.st_size != opened_.st_size ||
        !SameTime(now.st_mtim, opened_.st_mtim) ||
        (readAhead_ && !SameTime(now.st_ctim, readFrom_))) {
        ThrowChanged();
    }
}

bool InputFile::IsFile(const struct stat& other) const {
    return other.st_dev == opened_.st_dev && other.st_ino == opened_.st_ino;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    InputFile in(path, Purpose::Load);
    return ReadWholeFile(in);
}

std::string ReadWholeFile(InputFile& in) {
    std::string data(static_cast<std::size_t>(in.size()), '\0');
    data.resize(in.Read(data.data(), data.size()));
    return data;
}

} // namespace hushnote::fileio
