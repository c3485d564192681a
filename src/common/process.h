#pragma once

#include <csignal>
#include <filesystem>

// Settings of the whole process that protect the passwords it holds, and how
// its programs answer the signals that ask them to end.
namespace hushnote {

// Turns core dumps off for this process: a dump would write the passwords and
// messages in memory to a file. Also keeps other processes of the same user
// from reading its memory through /proc. Call it first thing in main.
void DisableCoreDumps();

// Called first thing: a standard stream closed at the start gets /dev/null in
// its place, so that no file opened later takes its number and is written as
// if it were standard output.
void HoldClosedStandardStreams();

// Whether descriptor fd (0 to 2) was closed when HoldClosedStandardStreams
// ran: an output that names it is refused as closed.
bool WasClosedAtStart(int fd);

// The folder that holds the running program's executable, links followed.
std::filesystem::path ProgramFolder();

using SignalHandler = void (*)(int);

// Whether a system call that a signal broke off starts again by itself.
enum class Restart { No, Yes };

// Ctrl+C, a kill, a hang-up from the terminal and Ctrl+\: the signals that
// ask a program to end. Every program answers them through here: the window
// closes the normal way, the command-line tool stops its file at the next
// piece, the password prompt gives the terminal its echo back. Handlers do
// async-signal-safe work only.
class TerminationSignals {
public:
    // handler answers them while this lives; the handlers before come back
    // when it ends.
    TerminationSignals(SignalHandler handler, Restart restart);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // handler answers them for the rest of the process.
    static void Answer(SignalHandler handler, Restart restart);

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    struct sigaction before_[4] = {};
};

// Raises sig again with its default action, so that whoever started the
// process sees it end by that signal. Safe in a handler: sig is then blocked
// until the handler returns, and the process ends at that moment.
void RaiseWithDefault(int sig);

} // namespace hushnote
