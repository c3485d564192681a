#include "cli/Password.h"

#include "cli/CliError.h"
#include "cli/CliText.h"
#include "common/error.h"
#include "common/message.h"
#include "common/process.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <termios.h>
#include <unistd.h>

namespace hushnote::cli {
namespace {

// Appends c to a secret without leaving an unwiped copy behind when the string
// has to grow.
void AppendSecret(std::string& s, char c) {
    if (s.size() == s.capacity()) {
        std::string bigger;
        bigger.reserve(s.capacity() < 64 ? 128 : s.capacity() * 2);
        bigger.append(s);
        Wipe(s);
        s.swap(bigger);
    }
    s.push_back(c);
}

void DropLineEnd(std::string& s) {
    if (!s.empty() && s.back() == '\r') {
        s.back() = '\0';
        s.pop_back();
    }
}

// The terminal's settings while echo is off, so that an interrupt at the
// prompt does not leave the user's terminal silent.
int gTtyFd = -1;
termios gSaved{};

extern "C" void RestoreAndReraise(int sig) {
    if (gTtyFd >= 0) {
        tcsetattr(gTtyFd, TCSAFLUSH, &gSaved);
        const char nl = '\n';
        [[maybe_unused]] auto ignored = write(gTtyFd, &nl, 1);
    }
    RaiseWithDefault(sig);
}

[[noreturn]] void ThrowUnreadable(const std::filesystem::path& path, int err, int number) {
    throw Failure(number, "Cannot read the password file " + QuotedPath(path) + ": " +
                              std::strerror(err) + ".");
}

} // namespace

void ReadPasswordFile(const std::filesystem::path& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        ThrowUnreadable(path, err, err == ENOENT ? kErrFileNotFound : kErrPathAccess);
    }
    std::array<char, 256> buffer{};
    bool done = false;
    bool tooLong = false;
    while (!done && !tooLong) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int err = errno;
            ::close(fd);
            Wipe(buffer.data(), buffer.size());
            ThrowUnreadable(path, err, kErrPathAccess);
        }
        if (got == 0) {
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[static_cast<std::size_t>(i)] == '\n') {
                done = true;
                break;
            }
            // One byte past the limit is kept: it may be the CR of a CR LF.
            if (out.size() > kMaxPasswordLine) {
                tooLong = true;
                break;
            }
            AppendSecret(out, buffer[static_cast<std::size_t>(i)]);
        }
    }
    Wipe(buffer.data(), buffer.size());
    ::close(fd);
    DropLineEnd(out);
    if (tooLong || out.size() > kMaxPasswordLine) {
        Wipe(out);
        throw CliError::Refusal("The password file's first line is longer than " +
                                std::to_string(kMaxPasswordLine) + " bytes.");
    }
}

void PromptPassword(const char* prompt, std::string& out) {
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    termios saved{};
    if (fd < 0 || tcgetattr(fd, &saved) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        throw CliError::Usage(
            "No password: there is no terminal to ask on; use --password-file FILE.");
    }
    [[maybe_unused]] auto w1 = ::write(fd, prompt, std::strlen(prompt));

    gTtyFd = fd;
    gSaved = saved;
    auto signals = std::make_optional<TerminationSignals>(RestoreAndReraise, Restart::No);

    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHOE | ECHOK));
    quiet.c_lflag |= ICANON;
    tcsetattr(fd, TCSAFLUSH, &quiet);

    char c = 0;
    for (;;) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || c == '\n') {
            break;
        }
        AppendSecret(out, c);
    }
    Wipe(&c, sizeof c);

    tcsetattr(fd, TCSAFLUSH, &saved);
    signals.reset();
    gTtyFd = -1;
    [[maybe_unused]] auto w2 = ::write(fd, "\n", 1);
    ::close(fd);
    DropLineEnd(out);
}

} // namespace hushnote::cli
