#include "fileio/OutputTarget.h"

#include "common/error.h"
#include "common/message.h"
#include "common/process.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace hushnote::fileio {
namespace {

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

constexpr const char* kAcl = "system.posix_acl_access";

// What read(buffer, size) gives, as listxattr and getxattr give it, asked
// again when it grew between the calls; nothing for an attribute that is not
// there or a file system that has none. Other errors go to fail.
template <typename Read, typename Fail>
std::optional<std::string> Attribute(const Read& read, const Fail& fail) {
    for (;;) {
        const ssize_t size = read(nullptr, 0);
        std::string data(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
        const ssize_t got = size > 0 ? read(data.data(), data.size()) : size;
        if (got >= 0) {
            data.resize(static_cast<std::size_t>(got));
            return data;
        }
        if (errno == ENODATA || errno == ENOTSUP) {
            return std::nullopt;
        }
        if (errno != ERANGE) {
            fail(errno);
            return std::nullopt;
        }
    }
}

std::vector<std::string> Split(const std::optional<std::string>& names) {
    std::vector<std::string> list;
    for (std::size_t at = 0; names && at < names->size();) {
        const std::size_t end = std::min(names->find('\0', at), names->size());
        list.push_back(names->substr(at, end - at));
        at = end + 1;
    }
    return list;
}

[[noreturn]] void ThrowCannotKeep(const std::string& name, const std::filesystem::path& shown) {
    // An ACL, a security label or a rule of the file system: losing it could
    // let in whom the old file kept out.
    if (name.rfind("system.", 0) == 0 || name.rfind("security.", 0) == 0) {
        throw Failure(kErrPathAccess,
                      QuotedPath(shown) + " has access rules (ACL) that cannot be kept.");
    }
    throw Failure(kErrPathAccess, QuotedPath(shown) + " has an extended attribute (" +
                                      EscapedPath(name) + ") that cannot be kept.");
}

bool OpenForWriting(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

} // namespace

namespace detail {

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
        struct stat own = {};
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

void KeepAttributes(int fd, const std::filesystem::path& old) {
    const char* path = old.c_str();
    const auto fail = [&](int err) { ThrowFileError(err, old, true); };
    const auto ignore = [](int) {};
    const std::vector<std::string> kept =
        Split(Attribute([&](char* b, std::size_t n) { return ::listxattr(path, b, n); }, fail));
    // A new file may have taken an ACL from its folder's default one.
    const std::vector<std::string> given =
        Split(Attribute([&](char* b, std::size_t n) { return ::flistxattr(fd, b, n); }, ignore));
    bool aclSet = false;
    for (const std::string& name : kept) {
        if (name == "security.capability") {
            continue; // as set-user-ID: new contents get no privileges of the old
        }
        const char* key = name.c_str();
        const std::optional<std::string> value =
            Attribute([&](char* b, std::size_t n) { return ::getxattr(path, key, b, n); }, fail);
        // Setting one that is there already, as a label the system gives
        // every new file, may need rights that its owner lacks.
        if (!value ||
            value == Attribute([&](char* b, std::size_t n) { return ::fgetxattr(fd, key, b, n); },
                               ignore)) {
            continue;
        }
        if (::fsetxattr(fd, key, value->data(), value->size(), 0) != 0) {
            ThrowCannotKeep(name, old);
        }
        aclSet = aclSet || name == kAcl;
    }
    if (std::find(given.begin(), given.end(), kAcl) != given.end() &&
        std::find(kept.begin(), kept.end(), kAcl) == kept.end() && ::fremovexattr(fd, kAcl) != 0) {
        ThrowCannotKeep(kAcl, old);
    }
    if (aclSet) {
        // An ACL sets the permissions too: private again while it fills, the
        // old file's mode (and so its ACL's mask) once it holds the name.
        (void)::fchmod(fd, 0600);
    }
}

} // namespace detail
} // namespace hushnote::fileio
