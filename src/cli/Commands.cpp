// The window's Secure / De-Secure buttons and its File menu commands, for
// terminals and scripts.

#include "cli/Commands.h"

#include "cipher/CCipher.h"
#include "cli/CliText.h"
#include "cli/Password.h"
#include "cli/ReceiverPageCommand.h"
#include "cli/Terminal.h"
#include "common/codepage.h"
#include "common/error.h"
#include "common/message.h"
#include "engine/PastedText.h"
#include "engine/VBEncrypt.h"
#include "engine/Words.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace hushnote::cli {
namespace {

// The window's limit, counted in codes after line breaks became CR LF.
using VBEncrypt::kMessageLimit;

// Reads to the end, but refuses more than maxBytes: a text command must not
// grow without bound on an endless input (secure-text < /dev/zero).
std::string ReadAll(int fd, const std::string& name, std::size_t maxBytes,
                    std::string_view tooLong) {
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
            throw CliError::Refusal(std::string(tooLong));
        }
    }
}

} // namespace

std::string ReadText(const Options& o, std::size_t maxBytes, std::string_view tooLong) {
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

namespace {

// The password as the window's codes, into codes. Blank is refused as the
// window refuses it.
void GetPassword(const Options& o, Secret& codes) {
    Secret typed;
    typed.value().reserve(128);
    if (o.passwordFile) {
        ReadPasswordFile(*o.passwordFile, typed.value());
    } else {
        PromptPassword("Password: ", typed.value());
    }
    if (typed.value().empty()) {
        throw CliError::Refusal(std::string(words::kBlankPassword));
    }
    codes = Secret(codepage::PasswordToCodes(std::string_view(typed.value())));
}

ModeChoice Chosen(const Options& o) {
    switch (o.mode.value_or(Mode::Auto)) {
    case Mode::Library:
        return ModeChoice::Library;
    case Mode::Builtin:
        return ModeChoice::BuiltIn;
    case Mode::Auto:
        break;
    }
    return ModeChoice::Auto;
}

ExitStatus RunFileCommand(const Options& o) {
    const std::filesystem::path in = o.operands[0];
    const std::filesystem::path out = o.operands[1];
    const bool securing = o.command == Command::SecureFile;
    TerminalEvents events;
    CCipher cipher(&events);
    // Opened first and only once: the file checked here is the file
    // secured, even if its name changes hands while the password is typed.
    cipher.Open(in, securing ? FileCommand::Secure : FileCommand::DeSecure);
    const std::int64_t size = cipher.InputSize();
    // A mode the user named holds from here: --mode library says now why the
    // library cannot be used. Left to the program, the mode is found by the
    // file operation, as the window's file commands find it, so a library
    // failure is told only once the password is in.
    if (const ModeChoice choice = Chosen(o); choice != ModeChoice::Auto) {
        cipher.ChooseMode(choice);
    }

    Secret password;
    GetPassword(o, password);
    CatchInterrupts();
    DeSecureResult problem;
    try {
        if (securing) {
            cipher.SecureFile(out, password.value());
        } else {
            problem = cipher.DeSecureFile(out, password.value());
        }
    } catch (const Failure& f) {
        events.Finish(false, size);
        PrintError(f.description());
        if (Interrupted()) {
            ReraiseInterrupt();
        }
        return ExitStatus::Failed;
    }
    events.Finish(true, size);
    if (problem.outcome != DeSecureOutcome::Done) {
        PrintError(words::FileOutcome(problem, QuotedPath(in), QuotedPath(out)));
        return problem.outcome == DeSecureOutcome::Damaged ? ExitStatus::Damaged
                                                           : ExitStatus::Failed;
    }
    return ExitStatus::Success;
}

ExitStatus RunSecureText(const Options& o) {
    // At most 3 bytes of UTF-8 for each of the 20,000 characters.
    Secret raw(ReadText(o, 3 * kMessageLimit, words::kMessageLimit));
    if (raw.value().empty()) {
        throw CliError::Refusal(std::string(words::kNoMessageToSecure));
    }
    Secret codes(codepage::Utf8ToCodes(raw.value(), codepage::Purpose::Securing));
    Secret message(ToCrLf(codes.value()));
    if (message.value().size() > kMessageLimit) {
        throw CliError::Refusal(std::string(words::kMessageLimit));
    }
    Secret password;
    GetPassword(o, password);
    std::string secured = VBEncrypt::SecureMessage(message.value(), password.value());
    if (o.chat) {
        secured = pasted::ChatForm(secured);
    }
    secured += '\n';
    WriteOut(secured);
    return ExitStatus::Success;
}

ExitStatus RunDeSecureText(const Options& o) {
    // The longest secured text (16,777,215 bytes) with line breaks added.
    Secret raw(
        ReadText(o, static_cast<std::size_t>(VBEncrypt::kMaxSecuredInput), kLongerThanSecuredText));
    if (raw.value().empty()) {
        throw CliError::Refusal(std::string(words::kNoMessageToDeSecure));
    }
    // Told before the password is asked for: no password makes it secured text.
    const pasted::Reading found = pasted::FindSecuredText(raw.value());
    if (found.fit == pasted::Fit::NotSecured) {
        throw CliError::Failed(std::string(words::kNotSecuredText));
    }
    Secret password;
    GetPassword(o, password);
    const DeSecuredText result = DeSecureText(found.text, password.value());
    WriteOut(result.message.value());
    if (found.fit != pasted::Fit::Whole) {
        // What came back is right up to where the text was changed, and the
        // user may need it; the status and the warning keep it from passing
        // for the message.
        PrintError(words::ChangedText(found.Difference()));
        return ExitStatus::Damaged;
    }
    if (!result.looksLikeText) {
        // Only a warning: the format cannot tell, and the message is out.
        PrintError("The result does not look like text: was the password right?");
    }
    return ExitStatus::Success;
}

} // namespace

ExitStatus RunCommand(const Options& o) {
    switch (o.command) {
    case Command::SecureFile:
    case Command::DeSecureFile:
        return RunFileCommand(o);
    case Command::SecureText:
        return RunSecureText(o);
    case Command::DeSecureText:
        return RunDeSecureText(o);
    case Command::ReceiverPage:
        return RunReceiverPage(o);
    }
    return ExitStatus::Failed;
}

} // namespace hushnote::cli
