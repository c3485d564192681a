#include "cipher/SecuredFileIO.h"

#include "common/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace hushnote::fileio {
namespace {

constexpr std::size_t kStreamBuffer = 1 << 18;

std::string Quoted(const std::filesystem::path& p) {
    return "\"" + p.string() + "\"";
}

} // namespace

void ThrowFileError(int err, const std::filesystem::path& path, bool writing) {
    const std::string reason = std::strerror(err);
    switch (err) {
    case ENOENT:
        if (writing) {
            throw Failure(kErrPathAccess, "The folder for " + Quoted(path) + " does not exist.");
        }
        throw Failure(kErrFileNotFound, "File not found: " + Quoted(path) + ".");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        throw Failure(kErrDiskFull, "Disk full: " + Quoted(path) + " could not be written.");
    case ENOMEM:
        throw Failure(kErrOutOfMemory, "Out of memory while working on " + Quoted(path) + ".");
    default:
        throw Failure(kErrPathAccess, std::string(writing ? "Cannot write " : "Cannot read ") +
                                          Quoted(path) + ": " + reason + ".");
    }
}

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !std::filesystem::is_symlink(path, ec)) {
        // The open dialog asked whether to create it; an empty file secures to
        // a header alone.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            ThrowFileError(errno, path, true);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    file_ = std::fopen(path.c_str(), "rbe");
    if (file_ == nullptr) {
        ThrowFileError(errno, path, false);
    }
    struct stat st {};
    if (::fstat(::fileno(file_), &st) != 0) {
        const int err = errno;
        std::fclose(file_);
        ThrowFileError(err, path, false);
    }
    if (S_ISDIR(st.st_mode)) {
        std::fclose(file_);
        throw Failure(kErrPathAccess, Quoted(path) + " is a folder, not a file.");
    }
    size_ = st.st_size;
    // glibc ignores the size unless it is given the buffer itself.
    buffer_ = std::make_unique<char[]>(kStreamBuffer);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kStreamBuffer);
}

InputFile::~InputFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

std::size_t InputFile::Read(char* buffer, std::size_t n) {
    const std::size_t got = std::fread(buffer, 1, n, file_);
    if (got < n && std::ferror(file_)) {
        ThrowFileError(errno != 0 ? errno : EIO, path_, false);
    }
    return got;
}

OutputFile::OutputFile(const std::filesystem::path& path, const std::filesystem::path& input)
    : path_(path), target_(path) {
    std::error_code ec;
    if (std::filesystem::equivalent(input, path, ec) && !ec) {
        throw Failure(kErrPathAccess, "The output file " + Quoted(path) +
                                          " is the input file itself: choose another name.");
    }
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0; // follows links
    if (exists && S_ISDIR(st.st_mode)) {
        throw Failure(kErrPathAccess, Quoted(path) + " is a folder, not a file.");
    }
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a pipe (also /dev/stdout): replacing it with a file
        // would damage the system, so it is written in place.
        file_ = std::fopen(path.c_str(), "wbe");
        if (file_ == nullptr) {
            ThrowFileError(errno, path, true);
        }
    } else {
        if (std::filesystem::is_symlink(path, ec)) {
            // The file the link points to is replaced; the link stays.
            target_ = std::filesystem::weakly_canonical(path, ec);
            if (ec) {
                ThrowFileError(ec.value(), path, true);
            }
            exists = ::stat(target_.c_str(), &st) == 0;
        }
        const std::filesystem::path dir = target_.parent_path();
        std::mt19937_64 rng(std::random_device{}());
        int fd = -1;
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict
            // overlap for a string literal added in front of a temporary.
            std::string name = ".";
            name += target_.filename().string();
            name += ".hushnote-";
            name += std::to_string(rng() % 1000000000ull);
            temp_ = dir / name;
            fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
        if (exists) {
            // The replaced file keeps its permissions.
            (void)::fchmod(fd, st.st_mode & 07777);
        }
        file_ = ::fdopen(fd, "wb");
        if (file_ == nullptr) {
            const int err = errno;
            ::close(fd);
            ::unlink(temp_.c_str());
            temp_.clear();
            ThrowFileError(err, path, true);
        }
    }
    buffer_ = std::make_unique<char[]>(kStreamBuffer);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kStreamBuffer);
}

OutputFile::~OutputFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!committed_ && !temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

void OutputFile::Write(std::string_view data) {
    if (data.empty()) {
        return;
    }
    if (std::fwrite(data.data(), 1, data.size(), file_) != data.size()) {
        ThrowFileError(errno != 0 ? errno : EIO, path_, true);
    }
}

void OutputFile::Commit() {
    if (std::fflush(file_) != 0) {
        ThrowFileError(errno, path_, true);
    }
    if (!temp_.empty() && ::fdatasync(::fileno(file_)) != 0) {
        ThrowFileError(errno, path_, true);
    }
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) {
        ThrowFileError(errno, path_, true);
    }
    if (!temp_.empty() && ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ThrowFileError(errno, path_, true);
    }
    committed_ = true;
}

} // namespace hushnote::fileio
