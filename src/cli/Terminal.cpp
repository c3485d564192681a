#include "cli/Terminal.h"

#include "common/error.h"
#include "common/message.h"
#include "common/process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace hushnote::cli {
namespace {

volatile std::sig_atomic_t gInterrupt = 0;

extern "C" void NoteInterrupt(int sig) {
    gInterrupt = sig;
}

} // namespace

void PrintError(const std::string& text) {
    const std::string line = std::string(kProgram) + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void WriteOut(std::string_view data) {
    // It holds /dev/null then: the write would succeed and the text be lost.
    if (WasClosedAtStart(STDOUT_FILENO)) {
        throw Failure(kErrPathAccess, "Standard output is closed: the text cannot be written.");
    }
    if (std::fwrite(data.data(), 1, data.size(), stdout) != data.size() ||
        std::fflush(stdout) != 0) {
        throw Failure(kErrPathAccess,
                      std::string("Cannot write standard output: ") + std::strerror(errno) + ".");
    }
}

void CatchInterrupts() {
    TerminationSignals::Answer(NoteInterrupt, Restart::No);
}

bool Interrupted() {
    return gInterrupt != 0;
}

void ReraiseInterrupt() {
    const int sig = gInterrupt;
    RaiseWithDefault(sig);
    std::_Exit(128 + sig);
}

TerminalEvents::TerminalEvents() : draw_(isatty(STDERR_FILENO) == 1) {}

void TerminalEvents::ShowLibraryError(const ErrorValue& error) {
    PrintError(FormatErrorMessage(error, ": ") + " The built-in cipher is used instead.");
}

bool TerminalEvents::ReportProgress(std::int64_t remaining, std::int64_t total) {
    if (gInterrupt != 0) {
        return false;
    }
    if (draw_ && total > 0) {
        const std::int64_t done = total - remaining;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent != lastPercent_) {
            Draw(done, total, percent);
        }
    }
    return true;
}

void TerminalEvents::Finish(bool completed, std::int64_t total) {
    if (lastPercent_ < 0) {
        return;
    }
    if (completed) {
        Draw(total, total, 100);
    }
    std::fputs("\n", stderr);
    std::fflush(stderr);
    lastPercent_ = -1;
}

void TerminalEvents::Draw(std::int64_t done, std::int64_t total, int percent) {
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::string line = "\r[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kWidth - filled), '-');
    char pct[8];
    std::snprintf(pct, sizeof pct, "] %3d%%", percent);
    line += pct;
    line += "  " + Grouped(done) + " / " + Grouped(total) + " bytes";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    lastPercent_ = percent;
}

} // namespace hushnote::cli
