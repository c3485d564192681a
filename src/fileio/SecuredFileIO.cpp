#include "fileio/SecuredFileIO.h"

#include "common/error.h"
#include "common/message.h"
#include "engine/VBEncrypt.h"
#include "fileio/BackgroundIO.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <random>
#include <unistd.h>

namespace hushnote::fileio {
namespace {

// What is written in place is gathered to this size first: a write call per
// piece would cost more than the work on it.
constexpr std::size_t kInPlaceBuffer = std::size_t{1} << 18;

struct Limits {
    std::int64_t onDisk;   // the most a file that reports its size may hold
    std::int64_t inMemory; // the most read from a file that reports none
    const char* tooLarge;  // why more is refused
};

Limits LimitsFor(Purpose purpose) {
    switch (purpose) {
    case Purpose::Secure:
        return {VBEncrypt::kMaxLength, VBEncrypt::kMaxLength,
                "a secured file holds at most 16,777,215 bytes."};
    case Purpose::DeSecure:
        return {INT64_MAX, VBEncrypt::kMaxSecuredInput, "no secured file is that long."};
    case Purpose::Load:
        break;
    }
    return {VBEncrypt::kMaxLength, VBEncrypt::kMaxLength,
            "a message can be loaded from at most 16,777,215 bytes."};
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

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The descriptor a path names without naming a file: /dev/stdout and the like.
std::optional<int> DescriptorNamed(const std::string& path) {
    if (path == "/dev/stdout") {
        return STDOUT_FILENO;
    }
    if (path == "/dev/stderr") {
        return STDERR_FILENO;
    }
    for (std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) {
            int fd = -1;
            const char* first = path.data() + prefix.size();
            const char* last = path.data() + path.size();
            const auto [end, ec] = std::from_chars(first, last, fd);
            if (ec == std::errc() && end == last) {
                return fd;
            }
        }
    }
    return std::nullopt;
}

// The permissions a new file gets from the umask. Read from /proc, because
// umask() would change it for every thread while it is being read.
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            const std::size_t digits = line.find_first_not_of(" \t", 6);
            unsigned mask = 0;
            if (digits != std::string::npos &&
                std::from_chars(line.data() + digits, line.data() + line.size(), mask, 8).ec ==
                    std::errc()) {
                return static_cast<mode_t>(0666 & ~mask);
            }
        }
    }
    return 0600; // unknown: stay private
}

} // namespace

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
    case ENOMEM:
        throw Failure(kErrOutOfMemory, "Out of memory while working on " + QuotedPath(path) + ".");
    default:
        throw Failure(kErrPathAccess, std::string(writing ? "Cannot write " : "Cannot read ") +
                                          QuotedPath(path) + ": " + reason + ".");
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
    if (S_ISDIR(opened_.st_mode)) {
        throw Failure(kErrPathAccess, QuotedPath(path) + " is a folder, not a file.");
    }
    if (!S_ISREG(opened_.st_mode)) {
        // A pipe or a device has no end to wait for and no length for a header.
        throw Failure(kErrPathAccess, QuotedPath(path) + " is not a regular file.");
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ThrowFileError(errno, path, false);
    }
    const Limits limits = LimitsFor(purpose);
    if (opened_.st_size > limits.onDisk) {
        throw Failure(kErrInvalidArgument, QuotedPath(path) + " is " + Grouped(opened_.st_size) +
                                               " bytes long; " + limits.tooLarge);
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
                                                       limits.tooLarge);
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
    // rewritten cannot be described by it.
    struct stat now {};
    if (::fstat(fd_, &now) != 0 || now.st_size != opened_.st_size ||
        !SameTime(now.st_mtim, opened_.st_mtim)) {
        ThrowChanged();
    }
}

bool InputFile::IsFile(const struct stat& other) const {
    return other.st_dev == opened_.st_dev && other.st_ino == opened_.st_ino;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    InputFile in(path, Purpose::Load);
    std::string data(static_cast<std::size_t>(in.size()), '\0');
    data.resize(in.Read(data.data(), data.size()));
    return data;
}

OutputFile::OutputFile(const std::filesystem::path& path, const InputFile& input)
    : path_(path), target_(path) {
    auto refuseInput = [&](const struct stat& st) {
        if (input.IsFile(st)) {
            throw Failure(kErrPathAccess, "The output file " + QuotedPath(path) +
                                              " is the input file itself: choose another name.");
        }
    };
    struct stat st {};
    if (const std::optional<int> fd = DescriptorNamed(path.native())) {
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
    } else {
        bool exists = ::stat(path.c_str(), &st) == 0; // follows links
        if (exists) {
            refuseInput(st);
        }
        if (exists && S_ISDIR(st.st_mode)) {
            throw Failure(kErrPathAccess, QuotedPath(path) + " is a folder, not a file.");
        }
        if (exists && !S_ISREG(st.st_mode)) {
            // A device or a pipe: replacing it with a file would damage the
            // system, so it is written in place.
            fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
            if (fd_ < 0) {
                ThrowFileError(errno, path, true);
            }
        } else {
            std::error_code ec;
            if (std::filesystem::is_symlink(path, ec)) {
                // The file the link points to is replaced; the link stays.
                target_ = std::filesystem::weakly_canonical(path, ec);
                if (ec) {
                    ThrowFileError(ec.value(), path, true);
                }
            }
            // Never set-user-ID, set-group-ID or sticky: only what a plain
            // file of the user's may carry.
            finalMode_ = exists ? (st.st_mode & 0777) : NewFileMode();
            const std::filesystem::path dir = target_.parent_path();
            std::mt19937_64 rng(std::random_device{}());
            int fd = -1;
            for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
                // Short whatever the target's name, so that any legal name
                // still leaves room for it.
                char name[32];
                std::snprintf(name, sizeof name, ".hushnote-%016llx",
                              static_cast<unsigned long long>(rng()));
                temp_ = dir / name;
                // Only the user can read it while it fills; it widens to its
                // final permissions once everything is written.
                fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                if (fd < 0 && errno != EEXIST) {
                    const int err = errno;
                    temp_.clear();
                    ThrowFileError(err, path, true);
                }
            }
            if (fd < 0) {
                temp_.clear();
                ThrowFileError(EEXIST, path, true);
            }
            fd_ = fd;
            try {
                writeBehind_ = std::make_unique<WriteBehind>(fd_);
            } catch (...) {
                ::close(fd_);
                ::unlink(temp_.c_str());
                throw;
            }
        }
    }
}

OutputFile::~OutputFile() {
    writeBehind_.reset(); // stops its thread before the descriptor goes
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!committed_ && !temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

void OutputFile::ThrowWriteError(int err) const {
    if (!temp_.empty()) {
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

void OutputFile::WritePending() {
    const int err = WriteAll(fd_, pending_);
    pending_.clear();
    if (err != 0) {
        ThrowWriteError(err);
    }
}

void OutputFile::Commit() {
    if (!writeBehind_) {
        WritePending();
    } else {
        if (!writeBehind_->Finish()) {
            ThrowWriteError(writeBehind_->failure());
        }
        // Failing to widen leaves the file private, which loses nothing.
        (void)::fchmod(fd_, finalMode_);
        if (::fdatasync(fd_) != 0) {
            ThrowWriteError(errno);
        }
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        ThrowWriteError(errno);
    }
    if (!temp_.empty() && ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ThrowWriteError(errno);
    }
    committed_ = true;
}

} // namespace hushnote::fileio
