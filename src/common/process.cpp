#include "common/process.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace hushnote {

void DisableCoreDumps() {
    // Both: the limit covers a dump the kernel writes to a file, and not
    // being dumpable also covers a core_pattern pipe, which ignores the limit.
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

namespace {

unsigned gClosedStreams = 0; // bit n: descriptor n was closed at the start

} // namespace

void HoldClosedStandardStreams() {
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF &&
            ::open("/dev/null", O_RDWR) == fd) { // the lowest free number: fd
            gClosedStreams |= 1u << fd;
        }
    }
}

bool WasClosedAtStart(int fd) {
    return fd >= 0 && fd < 3 && (gClosedStreams & (1u << fd)) != 0;
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    return exe.parent_path();
}

namespace {

struct sigaction Action(SignalHandler handler, Restart restart) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = restart == Restart::Yes ? SA_RESTART : 0;
    return action;
}

} // namespace

TerminationSignals::TerminationSignals(SignalHandler handler, Restart restart) {
    const struct sigaction action = Action(handler, restart);
    for (int i = 0; i < 4; ++i) {
        ::sigaction(kSignals[i], &action, &before_[i]);
    }
}

TerminationSignals::~TerminationSignals() {
    for (int i = 0; i < 4; ++i) {
        ::sigaction(kSignals[i], &before_[i], nullptr);
    }
}

void TerminationSignals::Answer(SignalHandler handler, Restart restart) {
    const struct sigaction action = Action(handler, restart);
    for (int sig : kSignals) {
        ::sigaction(sig, &action, nullptr);
    }
}

void RaiseWithDefault(int sig) {
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace hushnote
