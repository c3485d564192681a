// No password-keyed byte outlives a command: after each text and file command
// of the window and of the command-line tool, the built-in cipher's state is
// zero again. Each row keys the state (the commands run the built-in cipher),
// so a missing wipe leaves it non-zero.
#include "ui/ui_test_util.h"

#include "cli/Commands.h"
#include "engine/VBEncrypt.h"

#include <cstring>

namespace hushnote::test {
namespace {

bool StateIsZero() {
    const VBEncrypt::CipherState zero{};
    return std::memcmp(&VBEncrypt::State(), &zero, sizeof zero) == 0;
}

TEST_F(WindowTest, NoKeyedStateOutlivesACommand) {
    const std::string secured = VBEncrypt::SecureMessage("a secret", kPassword);
    ASSERT_TRUE(StateIsZero());
    WriteFile(Path("plain"), "a secret");
    WriteFile(Path("secured"), QByteArray::fromStdString(secured));
    WriteFile(Path("pw"), kPassword);
    const auto p = [this](const char* name) { return Path(name).toStdString(); };
    // The command-line tool's commands as its main function runs them; text
    // goes to standard output.
    const auto cli = [&](cli::Command command, std::vector<std::string> files,
                         std::optional<std::string> input = {}) {
        return cli::RunCommand({.command = command,
                                .operands = std::move(files),
                                .passwordFile = p("pw"),
                                .inputFile = std::move(input),
                                .mode = cli::Mode::Builtin}) == cli::ExitStatus::Success;
    };
    // clang-format off
    const struct { const char* name; std::function<bool()> run; } cases[] = {
        {"window Secure", [&] { w_->SetMessageText("a secret"); Run("cmdSecure"); return w_->MessageText().startsWith("???"); }},
        {"window De-Secure", [&] { w_->SetMessageText(qt_codes::FromCodes(secured)); Run("cmdDeSecure"); return w_->MessageText() == "a secret"; }},
        {"window Secure File", [&] { AnswerFiles({"plain", "w.sec"}); Run("mnuFileItem_0"); return ReadFile(Path("w.sec")).size() == 20; }},
        {"window De-Secure File", [&] { AnswerFiles({"secured", "w.txt"}); Run("mnuFileItem_1"); return ReadFile(Path("w.txt")) == "a secret"; }},
        {"secure-text", [&] { return cli(cli::Command::SecureText, {}, p("plain")); }},
        {"desecure-text", [&] { return cli(cli::Command::DeSecureText, {}, p("secured")); }},
        {"secure-file", [&] { return cli(cli::Command::SecureFile, {p("plain"), p("c.sec")}); }},
        {"desecure-file", [&] { return cli(cli::Command::DeSecureFile, {p("secured"), p("c.txt")}); }},
    };
    // clang-format on
    Open();
    for (const auto& c : cases) {
        ResetSeams();
        Password()->setText(kPassword);
        EXPECT_TRUE(c.run() && Boxes().empty()) << c.name << " did not run";
        EXPECT_TRUE(StateIsZero()) << c.name << " left the keyed state behind";
    }
}

} // namespace
} // namespace hushnote::test
