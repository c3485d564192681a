#pragma once

#include <exception>
#include <string>
#include <utility>

namespace hushnote::cli {

// What the program's exit status tells a calling script.
enum class ExitStatus {
    Success = 0,
    // The operation failed and nothing was written.
    Failed = 1,
    // A usage error, a blank password, or an empty or over-long message.
    Usage = 2,
    // desecure-file or desecure-text wrote what a damaged secured file or
    // text still held: the data is there, but not all of it, and 1 must keep
    // meaning "nothing written".
    Damaged = 3,
};

// A command that cannot go on: the line to print, the status to end with,
// and whether to point at --help.
class CliError : public std::exception {
public:
    // A mistake in how the program was called: a hint to --help follows.
    static CliError Usage(std::string text) { return {ExitStatus::Usage, std::move(text), true}; }
    // An expected condition the window answers with a message box (blank
    // password, empty or over-long message): the hint would only mislead.
    static CliError Refusal(std::string text) {
        return {ExitStatus::Usage, std::move(text), false};
    }
    // The command ran and failed; nothing was written.
    static CliError Failed(std::string text) {
        return {ExitStatus::Failed, std::move(text), false};
    }

    const char* what() const noexcept override { return text_.c_str(); }
    ExitStatus status() const { return status_; }
    bool hint() const { return hint_; }

private:
    CliError(ExitStatus status, std::string text, bool hint)
        : status_(status), text_(std::move(text)), hint_(hint) {}

    ExitStatus status_;
    std::string text_;
    bool hint_;
};

} // namespace hushnote::cli
