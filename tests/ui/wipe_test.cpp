// No password-keyed byte outlives a command: after each text and file command
// of the window and of the command-line tool, the built-in cipher's state is
// zero again. Each row keys the state (the commands run the built-in cipher),
// so a missing wipe leaves it non-zero.
#include "ui/ui_test_util.h"

#include "cli/Commands.h"
#include "engine/VBEncrypt.h"
#include "support/test_util.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace hushnote::test {
namespace {

bool StateIsZero() {
    const VBEncrypt::CipherState zero{};
    return std::memcmp(&VBEncrypt::State(), &zero, sizeof zero) == 0;
}

// Runs the command-line tool's command with its standard output thrown away.
cli::ExitStatus RunCli(cli::Options o) {
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    std::FILE* null = std::fopen("/dev/null", "w");
    ::dup2(::fileno(null), STDOUT_FILENO);
    const cli::ExitStatus status = cli::RunCommand(o);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    std::fclose(null);
    return status;
}

TEST_F(WindowTest, NoKeyedStateOutlivesACommand) {
    const std::string secured = VBEncrypt::SecureMessage("a secret", kPassword);
    ASSERT_TRUE(StateIsZero());
    WriteFile(Path("plain"), "a secret");
    WriteFile(Path("secured"), QByteArray::fromStdString(secured));
    WriteFile(Path("pw"), kPassword);
    const auto cli = [this](cli::Command command, std::vector<std::string> operands = {},
                            const char* input = nullptr) {
        cli::Options o;
        o.command = command;
        o.operands = std::move(operands);
        o.passwordFile = Path("pw").toStdString();
        if (input != nullptr) {
            o.inputFile = Path(input).toStdString();
        }
        o.mode = cli::Mode::Builtin;
        return RunCli(o) == cli::ExitStatus::Success;
    };
    const auto p = [this](const char* name) { return Path(name).toStdString(); };
    // clang-format off
    const struct { const char* name; std::function<bool()> run; } cases[] = {
        {"window Secure", [&] { w_->SetMessageText("a secret"); Run("cmdSecure"); return w_->MessageText().startsWith("???"); }},
        {"window De-Secure", [&] { w_->SetMessageText(qt_codes::FromCodes(secured)); Run("cmdDeSecure"); return w_->MessageText() == "a secret"; }},
        {"window Secure File", [&] { AnswerFiles({"plain", "w.sec"}); Run("mnuFileItem_0"); return ReadFile(Path("w.sec")).size() == 20; }},
        {"window De-Secure File", [&] { AnswerFiles({"secured", "w.txt"}); Run("mnuFileItem_1"); return ReadFile(Path("w.txt")) == "a secret"; }},
        {"secure-text", [&] { return cli(cli::Command::SecureText, {}, "plain"); }},
        {"desecure-text", [&] { return cli(cli::Command::DeSecureText, {}, "secured"); }},
        {"secure-file", [&] { return cli(cli::Command::SecureFile, {p("plain"), p("c.sec")}); }},
        {"desecure-file", [&] { return cli(cli::Command::DeSecureFile, {p("secured"), p("c.txt")}); }},
    };
    // clang-format on
    Open();
    for (const auto& c : cases) {
        ResetSeams();
        Password()->setText(kPassword);
        EXPECT_TRUE(c.run()) << c.name << " did not run";
        EXPECT_TRUE(Boxes().empty()) << c.name;
        EXPECT_TRUE(StateIsZero()) << c.name << " left the keyed state behind";
    }
}

} // namespace
} // namespace hushnote::test
