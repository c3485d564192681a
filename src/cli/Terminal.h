#pragma once

#include "cipher/CCipher.h"

#include <cstdint>
#include <string>
#include <string_view>

// How hushnote-cli speaks, and how it stops when interrupted.
//
// - Standard output carries only what was asked for: the secured text, the
//   message, a file written to /dev/stdout, --help and --version. A script
//   takes it as it is, so nothing else ever goes there.
// - Everything else goes to standard error: failures, refusals and warnings,
//   and the progress bar while a file command runs on a terminal. The
//   password prompt goes to the terminal itself, never to either stream.
// - Each message is one line, "hushnote-cli: " and then whole sentences as
//   the window words them: a capital first, or a name as typed (a quoted
//   file name, an option, a command); a period or a question mark last. The
//   window's words and the file layer's failures are written so already; the
//   terminal's own follow them, so one voice speaks whoever wrote the words.
//   Names are quoted and escaped: none can add a line.
// - A usage error is followed by a second line pointing at --help; a refusal
//   the window answers with a box (a blank password) is not.
namespace hushnote::cli {

inline constexpr std::string_view kProgram = "hushnote-cli";

// "hushnote-cli: text" on standard error; text follows the rules above.
void PrintError(const std::string& text);

// Writes all of data to standard output. Throws Failure when it cannot (a
// full disk, a closed pipe): a script must not take a cut output for success.
void WriteOut(std::string_view data);

// Ctrl+C, Ctrl+\, a kill or a hang-up from now on is only noted: a file
// operation stops at its next piece and removes its temporary file instead of
// dying half-way with it left behind.
void CatchInterrupts();

bool Interrupted();

// Ends the process the way the noted signal would have, once cleaned up, so
// that a calling shell sees the interrupt.
[[noreturn]] void ReraiseInterrupt();

// A progress bar on standard error when it is a terminal; library errors as
// one line each. Stops the operation once interrupted.
class TerminalEvents : public CipherEvents {
public:
    TerminalEvents();

    void ShowLibraryError(const ErrorValue& error) override;
    bool ReportProgress(std::int64_t remaining, std::int64_t total) override;

    // Completes the bar (when one was drawn) and ends its line.
    void Finish(bool completed, std::int64_t total);

private:
    void Draw(std::int64_t done, std::int64_t total, int percent);

    bool draw_;
    int lastPercent_ = -1;
};

} // namespace hushnote::cli
