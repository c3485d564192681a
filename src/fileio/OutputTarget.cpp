#include "fileio/OutputTarget.h"

#include "common/error.h"
#include "common/message.h"
#include "common/process.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace hushnote::fileio {
namespace {

PipeWait& Wait() {
    static PipeWait wait;
    return wait;
}

// Reads a number that makes up all of text.
template <typename T> std::optional<T> Number(std::string_view text) {
    T n{};
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, n);
    if (text.empty() || ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return n;
}

// The process whose descriptors folder is folder (/proc/<pid>/fd or
// /proc/<pid>/task/<tid>/fd), links already resolved.
std::optional<long> FdFolderOwner(std::string_view folder) {
    constexpr std::string_view kProc = "/proc/";
    if (folder.substr(0, kProc.size()) != kProc || folder.size() < 4 ||
        folder.substr(folder.size() - 3) != "/fd") {
        return std::nullopt;
    }
    folder = folder.substr(kProc.size(), folder.size() - kProc.size() - 3);
    const std::string_view pid = folder.substr(0, folder.find('/'));
    if (pid.size() < folder.size()) {
        const std::string_view rest = folder.substr(pid.size());
        if (rest.substr(0, 6) != "/task/" || !Number<long>(rest.substr(6))) {
            return std::nullopt;
        }
    }
    return Number<long>(pid);
}

// The process and descriptor that path names, following links and resolving
// "." and ".." on the way; the link of a descriptor itself is not followed,
// since it names an open file and not a path.
std::optional<std::pair<long, int>> ProcDescriptor(std::string path) {
    for (int hop = 0; hop < 40 && !path.empty(); ++hop) {
        const std::size_t slash = path.find_last_of('/');
        std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") {
            return std::nullopt;
        }
        char real[PATH_MAX];
        if (::realpath(dir.empty() ? "/" : dir.c_str(), real) == nullptr) {
            return std::nullopt;
        }
        const std::optional<long> pid = FdFolderOwner(real);
        if (const std::optional<int> fd = pid ? Number<int>(name) : std::nullopt) {
            return std::pair{*pid, *fd};
        }
        const std::string at = std::string(real) + (real[1] != '\0' ? "/" : "") + name;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(at.c_str(), link, sizeof link);
        if (n <= 0) {
            return std::nullopt;
        }
        const std::string target(link, static_cast<std::size_t>(n));
        path = target[0] == '/' ? target : std::string(real) + "/" + target;
    }
    return std::nullopt;
}

[[noreturn]] void ThrowClosed(int fd, const std::filesystem::path& path) {
    static constexpr const char* kNames[] = {"Standard input", "Standard output", "Standard error"};
    throw Failure(kErrPathAccess, std::string(kNames[fd]) + " is closed: " + QuotedPath(path) +
                                      " cannot be written.");
}

bool OpenForWriting(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

} // namespace

PipeWaitScope::PipeWaitScope(PipeWait wait) : previous_(std::exchange(Wait(), std::move(wait))) {}

PipeWaitScope::~PipeWaitScope() {
    Wait() = std::move(previous_);
}

namespace detail {

const PipeWait& CurrentPipeWait() {
    return Wait();
}

std::optional<int> DescriptorFor(const std::filesystem::path& path, const struct stat* st) {
    const std::optional<std::pair<long, int>> named = ProcDescriptor(path.native());
    if (named && named->first == ::getpid()) {
        const int fd = named->second;
        if (WasClosedAtStart(fd)) {
            ThrowClosed(fd, path);
        }
        if (::fcntl(fd, F_GETFD) < 0) {
            throw Failure(kErrPathAccess, QuotedPath(path) + " names no open file.");
        }
        return fd;
    }
    for (int fd = 0; st != nullptr && fd < 3; ++fd) {
        struct stat own{};
        if (!WasClosedAtStart(fd) && ::fstat(fd, &own) == 0 && own.st_dev == st->st_dev &&
            own.st_ino == st->st_ino && OpenForWriting(fd)) {
            return fd;
        }
    }
    if (named) {
        // Reopening it would truncate or replace what the other program
        // holds open; its descriptor itself is out of reach.
        throw Failure(kErrPathAccess, QuotedPath(path) +
                                          " is a file another program holds open: name the file "
                                          "itself instead.");
    }
    return std::nullopt;
}

// Read from /proc, because umask() would change it for every thread while it
// is being read.
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

} // namespace detail
} // namespace hushnote::fileio
