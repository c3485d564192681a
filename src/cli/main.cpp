// hushnote-cli: the window's Secure / De-Secure buttons and its File menu
// commands for terminals and scripts, on the same cipher engine.

#include "cli/CliText.h"
#include "cli/Password.h"
#include "cipher/CCipher.h"
#include "cipher/FNCryptLib.h"
#include "cipher/SecuredFileIO.h"
#include "cipher/VBEncrypt.h"
#include "common/codepage.h"
#include "common/error.h"
#include "common/message.h"
#include "common/process.h"
#include "hushnote/identity.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace hushnote::cli {
namespace {

constexpr const char* kProgram = "hushnote-cli";
// desecure-file wrote what a damaged secured file still held: the data is
// there, but not all of it, and 1 must keep meaning "nothing written".
constexpr int kDamagedStatus = 3;
// The window's limit, counted in codes after line breaks became CR LF.
using VBEncrypt::kMessageLimit;

constexpr const char* kHelp =
    R"(Usage: hushnote-cli [OPTIONS] COMMAND [ARGUMENTS]

Secures a message or a file with a password and de-secures it again, exactly
as the Hushnote window does: what one writes, the other reads.

Commands:
  secure-file IN OUT     secure the file IN into the secured file OUT
  desecure-file IN OUT   de-secure the secured file IN into the file OUT
  secure-text            secure a message and print the secured text
  desecure-text          de-secure secured text and print the message

Options:
  -i, --input FILE       text commands: read the text from FILE instead of
                         standard input
  --password-file FILE   take the password from the first line of FILE;
                         without it the password is asked for on the terminal
  --mode auto|library|builtin
                         file commands: use the cipher library in the
                         program's folder when it loads (auto, the default),
                         insist on it (library) or use the built-in cipher
                         (builtin); text is always secured by the built-in
                         cipher, as in the window
  -h, --help             show this help and exit
      --version          show the version and exit

Text is read and written as UTF-8. A message is taken exactly as given (a
final line break is part of it), with its line breaks sent as CR LF, and may
hold up to 20,000 characters of the Windows-1252 character set. Secured text
may be broken into lines; the line breaks are removed before de-securing.
The password is never taken from the command line, where other users can
read it.

Exit status: 0 success; 1 the operation failed and nothing was written;
2 usage error, blank password, or an empty or over-long message; 3 written,
but the secured file was damaged (shorter than its header says).
)";

// A mistake in how the program was called: status 2 and a hint.
struct UsageError {
    std::string text;
};

// An expected condition the window answers with a message box (blank
// password, empty or over-long message): status 2, no hint.
struct Refusal {
    std::string text;
};

enum class Mode { Auto, Library, Builtin };

struct Options {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> passwordFile;
    std::optional<std::string> inputFile;
    std::optional<Mode> mode;
    bool help = false;
    bool version = false;
};

void PrintError(const std::string& text) {
    const std::string line = std::string(kProgram) + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

bool IsFileCommand(const std::string& c) {
    return c == "secure-file" || c == "desecure-file";
}
bool IsTextCommand(const std::string& c) {
    return c == "secure-text" || c == "desecure-text";
}

Mode ParseMode(std::string_view v) {
    if (v == "auto") {
        return Mode::Auto;
    }
    if (v == "library") {
        return Mode::Library;
    }
    if (v == "builtin") {
        return Mode::Builtin;
    }
    throw UsageError{"unknown mode \"" + std::string(v) + "\" (auto, library or builtin)"};
}

Options ParseArguments(int argc, char** argv) {
    Options o;
    bool optionsEnded = false;
    auto valueOf = [&](int& i, std::string_view arg, std::string_view name) -> std::string {
        if (arg.size() > name.size() && arg[name.size()] == '=') {
            return std::string(arg.substr(name.size() + 1));
        }
        if (i + 1 >= argc) {
            throw UsageError{std::string(name) + " needs a value"};
        }
        return argv[++i];
    };
    auto is = [](std::string_view arg, std::string_view name) {
        return arg == name || (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
                               arg[name.size()] == '=');
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (o.command.empty()) {
                o.command = arg;
            } else {
                o.operands.emplace_back(arg);
            }
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (is(arg, "--password-file")) {
            o.passwordFile = valueOf(i, arg, "--password-file");
        } else if (is(arg, "--mode")) {
            o.mode = ParseMode(valueOf(i, arg, "--mode"));
        } else if (arg == "-i") {
            o.inputFile = valueOf(i, arg, "-i");
        } else if (is(arg, "--input")) {
            o.inputFile = valueOf(i, arg, "--input");
        } else if (is(arg, "--password") || arg == "-p") {
            throw UsageError{"the password is never taken from the command line, where other "
                             "users can read it; use --password-file FILE or type it at the "
                             "prompt"};
        } else {
            throw UsageError{"unknown option " + std::string(arg)};
        }
    }
    if (o.help || o.version) {
        return o;
    }
    if (o.command.empty()) {
        throw UsageError{"no command given"};
    }
    if (IsFileCommand(o.command)) {
        if (o.operands.size() != 2) {
            throw UsageError{o.command + " needs an input file and an output file"};
        }
        if (o.inputFile) {
            throw UsageError{"-i is for the text commands; " + o.command +
                             " takes its input file as an argument"};
        }
    } else if (IsTextCommand(o.command)) {
        if (!o.operands.empty()) {
            throw UsageError{o.command + " takes no arguments (the text comes from standard "
                                         "input or -i FILE)"};
        }
        if (o.mode == Mode::Library) {
            throw UsageError{"text is always secured by the built-in cipher; --mode library "
                             "applies to the file commands"};
        }
    } else {
        throw UsageError{"unknown command \"" + o.command + "\""};
    }
    return o;
}

// ---- Interruption (Ctrl+C, Ctrl+\, a kill, a hang-up): a file operation
// stops at its next piece and removes its temporary file instead of dying
// half-way with it left behind.

volatile std::sig_atomic_t gInterrupt = 0;

extern "C" void NoteInterrupt(int sig) {
    gInterrupt = sig;
}

void CatchInterrupts() {
    struct sigaction sa {};
    sa.sa_handler = NoteInterrupt;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaction(sig, &sa, nullptr);
    }
}

// Ends the process the way the signal would have, once cleaned up, so that a
// calling shell sees the interrupt.
[[noreturn]] void ReraiseInterrupt() {
    const int sig = gInterrupt;
    signal(sig, SIG_DFL);
    raise(sig);
    std::_Exit(128 + sig);
}

// ---- Progress on a terminal

class TerminalEvents : public CipherEvents {
public:
    TerminalEvents() : draw_(isatty(STDERR_FILENO) == 1) {}

    void ShowLibraryError(const ErrorValue& error) override {
        PrintError("Error #" + std::to_string(error.number) + ": " + error.description +
                   " (the built-in cipher is used)");
    }

    bool ReportProgress(std::int64_t remaining, std::int64_t total) override {
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

    // Completes the bar (when one was drawn) and ends its line.
    void Finish(bool completed, std::int64_t total) {
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

private:
    void Draw(std::int64_t done, std::int64_t total, int percent) {
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

    bool draw_;
    int lastPercent_ = -1;
};

// ---- Input

// Reads to the end, but refuses more than maxBytes: a text command must not
// grow without bound on an endless input (secure-text < /dev/zero).
std::string ReadAll(int fd, const std::string& name, std::size_t maxBytes, const char* tooLong) {
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw Failure(kErrPathAccess,
                          "Cannot read " + name + ": " + std::strerror(errno) + ".");
        }
        if (got == 0) {
            return data;
        }
        data.append(buffer, static_cast<std::size_t>(got));
        if (data.size() > maxBytes) {
            throw Refusal{tooLong};
        }
    }
}

std::string ReadText(const Options& o, std::size_t maxBytes, const char* tooLong) {
    if (!o.inputFile) {
        return ReadAll(STDIN_FILENO, "standard input", maxBytes, tooLong);
    }
    const int fd = ::open(o.inputFile->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw Failure(err == ENOENT ? kErrFileNotFound : kErrPathAccess,
                      "Cannot read " + QuotedPath(*o.inputFile) + ": " + std::strerror(err) + ".");
    }
    try {
        std::string data = ReadAll(fd, QuotedPath(*o.inputFile), maxBytes, tooLong);
        ::close(fd);
        return data;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

void WriteOut(std::string_view data) {
    if (std::fwrite(data.data(), 1, data.size(), stdout) != data.size() ||
        std::fflush(stdout) != 0) {
        throw Failure(kErrPathAccess,
                      std::string("Cannot write standard output: ") + std::strerror(errno) + ".");
    }
}

// The password as the window's codes, into codes. Blank is refused as the
// window refuses it.
void GetPassword(const Options& o, Secret& codes) {
    Secret typed;
    typed.value().reserve(128);
    if (o.passwordFile) {
        if (!ReadPasswordFile(*o.passwordFile, typed.value())) {
            throw Refusal{"the password file's first line is longer than " +
                          std::to_string(kMaxPasswordLine) + " bytes"};
        }
    } else if (!PromptPassword("Password: ", typed.value())) {
        throw UsageError{"no password: there is no terminal to ask on; use --password-file FILE"};
    }
    if (typed.value().empty()) {
        throw Refusal{"Password is blank."};
    }
    codes = Secret(codepage::PasswordToCodes(std::string_view(typed.value())));
}

int RunFileCommand(const Options& o) {
    const std::filesystem::path in = o.operands[0];
    const std::filesystem::path out = o.operands[1];
    const bool securing = o.command == "secure-file";
    const Mode mode = o.mode.value_or(Mode::Auto);
    // Opened first and only once: the file checked here is the file
    // secured, even if its name changes hands while the password is typed.
    // A missing one is refused, never created: nobody asked the user.
    fileio::InputFile input(in, securing ? fileio::Purpose::Secure : fileio::Purpose::DeSecure);

    if (mode == Mode::Library) {
        // Loading reports why the library cannot be used; the cipher object
        // would quietly fall back to the built-in cipher instead.
        FNCryptLib probe(ProgramFolder());
        probe.InitCipher(" ", 0);
    }

    Secret password;
    GetPassword(o, password);

    TerminalEvents events;
    CCipher cipher(&events);
    if (mode == Mode::Builtin) {
        // A built-in mode keeps the file operations from probing the library.
        cipher.SetDLLMode(CipherMode::NotLoaded);
    }
    CatchInterrupts();
    DeSecureResult problem;
    try {
        if (securing) {
            cipher.SecureFile(input, out, password.value());
        } else {
            problem = cipher.DeSecureFile(input, out, password.value());
        }
    } catch (const Failure& f) {
        events.Finish(false, input.size());
        PrintError(f.description());
        if (gInterrupt != 0) {
            ReraiseInterrupt();
        }
        return 1;
    }
    events.Finish(true, input.size());
    if (problem.outcome == DeSecureOutcome::NotSecured) {
        PrintError(QuotedPath(in) + " is not a secured file" +
                   (problem.reason.empty() ? "" : ": " + problem.reason) +
                   ". Nothing was written.");
        return 1;
    }
    if (problem.outcome == DeSecureOutcome::Damaged) {
        PrintError(QuotedPath(in) + " is damaged: it holds " + Grouped(problem.recovered) +
                   " of the " + Grouped(problem.expected) +
                   " bytes its header gives. Those were written to " + QuotedPath(out) + ".");
        return kDamagedStatus;
    }
    return 0;
}

int RunSecureText(const Options& o) {
    // At most 3 bytes of UTF-8 for each of the 20,000 characters.
    Secret raw(ReadText(o, 3 * kMessageLimit, "Message limit is 20,000 characters."));
    if (raw.value().empty()) {
        throw Refusal{"No message to secure."};
    }
    Secret codes(codepage::Utf8ToCodes(raw.value(), codepage::Purpose::Securing));
    Secret message(ToCrLf(codes.value()));
    if (message.value().size() > kMessageLimit) {
        throw Refusal{"Message limit is 20,000 characters."};
    }
    Secret password;
    GetPassword(o, password);
    std::string secured = VBEncrypt::SecureMessage(message.value(), password.value());
    VBEncrypt::WipeState();
    secured += '\n';
    WriteOut(secured);
    return 0;
}

int RunDeSecureText(const Options& o) {
    // The longest secured text (16,777,215 bytes) with line breaks added.
    Secret raw(ReadText(o, static_cast<std::size_t>(VBEncrypt::kMaxSecuredInput),
                        "not secured text: the input is too long"));
    if (raw.value().empty()) {
        throw Refusal{"No message to de-secure."};
    }
    const std::string text = SecuredTextFromInput(raw.value());
    Secret password;
    GetPassword(o, password);
    DeSecuredText result = DeSecureText(text, password.value());
    if (!result.ok) {
        PrintError(result.error);
        return 1;
    }
    WriteOut(result.message.value());
    return 0;
}

int Run(int argc, char** argv) {
    try {
        const Options o = ParseArguments(argc, argv);
        if (o.help) {
            WriteOut(kHelp);
            return 0;
        }
        if (o.version) {
            WriteOut(std::string(kProgram) + " " + identity::FullVersion() + "\n");
            return 0;
        }
        if (IsFileCommand(o.command)) {
            return RunFileCommand(o);
        }
        return o.command == "secure-text" ? RunSecureText(o) : RunDeSecureText(o);
    } catch (const UsageError& e) {
        PrintError(e.text);
        PrintError("try 'hushnote-cli --help' for more information");
        return 2;
    } catch (const Refusal& e) {
        PrintError(e.text);
        return 2;
    } catch (const Failure& f) {
        PrintError(f.description());
        return 1;
    } catch (const std::bad_alloc&) {
        PrintError("Out of memory.");
        return 1;
    } catch (const std::exception& e) {
        PrintError(e.what());
        return 1;
    }
}

} // namespace
} // namespace hushnote::cli

int main(int argc, char** argv) {
    hushnote::DisableCoreDumps();
    return hushnote::cli::Run(argc, argv);
}
