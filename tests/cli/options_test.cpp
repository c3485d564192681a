// The command line and the password file, read in the test's own process.

#include "cipher/file_test_util.h"
#include "cli/CliError.h"
#include "cli/Options.h"
#include "cli/Password.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushnote::cli {
namespace {

TEST(ParseArguments, UsageErrorsNameTheMistakeAndPointAtHelp) {
    const std::string never = "the password is never taken from the command line, where other "
                              "users can read it; use --password-file FILE or type it at the "
                              "prompt";
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {.args = {}, .says = "no command given"},
        {.args = {"encrypt"}, .says = "unknown command \"encrypt\""},
        {.args = {"--frobnicate", "secure-text"}, .says = "unknown option --frobnicate"},
        {.args = {"secure-file", "one"},
         .says = "secure-file needs an input file and an output file"},
        {.args = {"desecure-file", "a", "b", "c"},
         .says = "desecure-file needs an input file and an output file"},
        {.args = {"--", "secure-text", "-x"},
         .says = "secure-text takes no arguments (the text comes from standard input or -i FILE)"},
        {.args = {"--mode", "fast", "secure-text"},
         .says = "unknown mode \"fast\" (auto, library or builtin)"},
        {.args = {"--mode=library", "desecure-text"},
         .says = "text is always secured by the built-in cipher; --mode library applies to the "
                 "file commands"},
        {.args = {"-i", "x", "secure-file", "a", "b"},
         .says = "-i is for the text commands; secure-file takes its input file as an argument"},
        {.args = {"secure-text", "--password-file"}, .says = "--password-file needs a value"},
        {.args = {"--password", "secret", "secure-text"}, .says = never},
        {.args = {"--password=secret", "secure-text"}, .says = never},
        {.args = {"-p", "secret", "secure-text"}, .says = never},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        try {
            ParseArguments(c.args);
            ADD_FAILURE() << "accepted";
        } catch (const CliError& e) {
            EXPECT_EQ(e.what(), c.says);
            EXPECT_EQ(e.status(), ExitStatus::Usage);
            EXPECT_TRUE(e.hint());
        }
    }
}

TEST(ParseArguments, OptionsInEitherFormAnywhere) {
    const Options f = ParseArguments(
        {"desecure-file", "--mode=builtin", "--password-file", "pw", "-", "--", "-out"});
    EXPECT_EQ(f.command, Command::DeSecureFile);
    EXPECT_EQ(f.operands, (std::vector<std::string>{"-", "-out"}));
    EXPECT_EQ(f.passwordFile, "pw");
    EXPECT_EQ(f.mode, Mode::Builtin);
    const Options t = ParseArguments({"--input=in", "--password-file=pw", "secure-text"});
    EXPECT_EQ(t.command, Command::SecureText);
    EXPECT_EQ(t.inputFile, "in");
    EXPECT_EQ(t.passwordFile, "pw");
    EXPECT_EQ(t.mode, std::nullopt);
    EXPECT_EQ(ParseArguments({"-i", "x", "--mode", "auto", "desecure-text"}).inputFile, "x");
    // Help and version are answered whatever else the line holds.
    EXPECT_TRUE(ParseArguments({"secure-file", "-h"}).help);
    EXPECT_TRUE(ParseArguments({"encrypt", "--version", "x"}).version);
}

TEST(ReadPasswordFile, FirstLineWithoutItsBreakUpToTheLimit) {
    const std::string longest(kMaxPasswordLine, 'p');
    const struct {
        std::string file;
        bool ok;
        std::string password;
    } cases[] = {
        {.file = "", .ok = true, .password = ""},
        {.file = "\r\n", .ok = true, .password = ""},
        {.file = "\nx\n", .ok = true, .password = ""},
        {.file = "abc", .ok = true, .password = "abc"},
        {.file = "abc\r\nsecond\n", .ok = true, .password = "abc"},
        {.file = " a\rb \n", .ok = true, .password = " a\rb "},
        {.file = longest + "\r\n", .ok = true, .password = longest},
        {.file = longest + "q", .ok = false, .password = ""},
        {.file = longest + "q\r\n", .ok = false, .password = ""},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.substr(0, 16));
        test::WriteFile(dir / "pw", c.file);
        std::string out;
        EXPECT_EQ(ReadPasswordFile(dir / "pw", out), c.ok);
        EXPECT_EQ(out, c.password);
    }
    // An endless file is refused at once, not read into memory.
    std::string out;
    EXPECT_FALSE(ReadPasswordFile("/dev/zero", out));
}

} // namespace
} // namespace hushnote::cli
