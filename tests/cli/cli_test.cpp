// hushnote-cli: its command line read in process, then the built program run
// as a user or a script would run it, where the process itself matters.

#include "cipher/VBEncrypt.h"
#include "cli/CliError.h"
#include "cli/CliText.h"
#include "cli/Options.h"
#include "cli/Password.h"
#include "common/codepage.h"
#include "hushnote/identity.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <regex>
#include <signal.h>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace hushnote::cli {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

const std::string kCli = HUSHNOTE_CLI;
const std::string kPassword = "Tr0ub4dor&3";
constexpr auto npos = std::string::npos;
const int null = open("/dev/null", O_RDWR | O_CLOEXEC);

// Usage errors name the mistake and point at --help; says "" is a call that
// is accepted.
TEST(ParseArguments, UsageErrors) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no command given"},
        {{"encrypt"}, "unknown command \"encrypt\""},
        {{"--frobnicate", "secure-text"}, "unknown option --frobnicate"},
        {{"secure-file", "a"}, "secure-file needs an input file and an output"},
        {{"desecure-file", "a", "b", "c"}, "desecure-file needs an input file"},
        {{"--", "secure-text", "-x"}, "secure-text takes no arguments (the text"},
        {{"--mode", "fast", "secure-text"}, "unknown mode \"fast\" (auto, libr"},
        {{"--mode=library", "desecure-text"}, "text is always secured by the"},
        {{"-i", "x", "secure-file", "a", "b"}, "-i is for the text commands; se"},
        {{"secure-text", "--password-file"}, "--password-file needs a value"},
        {{"--password", "x", "secure-text"}, "the password is never taken from"},
        {{"--password=x", "secure-text"}, "the password is never taken from"},
        {{"-p", "x", "secure-text"}, "the password is never taken from"},
        {{"desecure-text", "--input=x", "--mode=auto", "--password-file=p"}, ""},
        {{"encrypt", "--version", "-h"}, ""},
    };
    for (const auto& [args, says] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        try {
            ParseArguments(args);
            EXPECT_EQ(says, "");
        } catch (const CliError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(says, 0), 0u) << e.what();
            EXPECT_TRUE(!says.empty() && e.status() == ExitStatus::Usage && e.hint());
        }
    }
}

// Starts program with the given standard streams in a session of its own: a
// password prompt can only ask on a terminal handed over as standard error.
pid_t Spawn(std::vector<std::string> argv, const int (&fds)[3], const std::string& program = kCli) {
    argv.insert(argv.begin(), program);
    std::vector<char*> args(argv.size() + 1);
    std::transform(argv.begin(), argv.end(), args.begin(), [](auto& a) { return a.data(); });
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        ioctl(fds[2], TIOCSCTTY, 0);
        for (int i = 0; i < 3; ++i) {
            dup2(fds[i], i);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

struct Result {
    int status = -1;
    std::string out, err;
};

Result RunCli(const std::vector<std::string>& args, const std::string& input = "",
              const std::string& program = kCli) {
    std::FILE* files[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
    std::fwrite(input.data(), 1, input.size(), files[0]);
    std::rewind(files[0]);
    const int fds[3] = {fileno(files[0]), fileno(files[1]), fileno(files[2])};
    Result r{Wait(Spawn(args, fds, program)), ReadFile("/proc/self/fd/" + std::to_string(fds[1])),
             ReadFile("/proc/self/fd/" + std::to_string(fds[2]))};
    for (auto* f : files) {
        std::fclose(f);
    }
    return r;
}

std::vector<std::string> FileCall(const std::string& command, const std::string& mode,
                                  const std::string& in, const std::string& out) {
    return {command, "--mode", mode, "--password-file", "pw", in, out};
}

// Each test works in a fresh folder of its own, named relative to it.
class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        fs::current_path(dir.path());
        WriteFile("pw", kPassword + "\n");
    }

    test::TempDir dir;
};

// Representative answers, refusals and failures: the status, the reason (all
// of standard output for status 0), and no file created or changed.
TEST_F(Cli, ExitStatusesAndOutputs) {
    const std::string secured = VBEncrypt::SecureMessage("hello", kPassword);
    WriteFile("blank", "\n");
    WriteFile("snow", "\xE2\x98\x83\n");
    WriteFile("existing", "keep me");
    WriteFile("text", "hello world\n");
    WriteFile("key", "p\xC3\xA4ss \xE2\x82\xAC\r\nsecond");
    WriteFile("in", "data");
    WriteFile("wrong", "Tr0ub4dor&4\n");
    const std::string meet = VBEncrypt::SecureMessage("Meet me at the station at noon.", kPassword);
    const std::string noise =
        codepage::CodesToUtf8(ToLf(VBEncrypt::DeSecureMessage(meet, "Tr0ub4dor&4")));
    WriteFile("pw4096", std::string(4096, 'p') + "\r\n");
    WriteFile("pw4097", std::string(4097, 'p'));
    WriteFile("cut", secured.substr(0, 12));
    WriteFile("lines", secured.substr(0, 5) + "\r\n" + secured.substr(5, 4) + "\r" +
                           secured.substr(9, 3) + "\n" + secured.substr(12));
    // 20,000 characters in 60,000 bytes
    const std::string euros =
        std::regex_replace(std::string(20000, 'x'), std::regex("x"), "\xE2\x82\xAC");
    const std::string pw = "--password-file=pw", limit = "Message limit is 20,000";
    const std::string st = "secure-text", dt = "desecure-text", sf = "secure-file";
    struct Case {
        std::vector<std::string> args;
        std::string in = {};
        int status = 0;
        std::string says = {};
        bool hint = false;
        std::string warns = {}; // all of standard error for status 0
    };
    std::vector<Case> cases = {
        {.args = {"--version"}, .says = "hushnote-cli " + identity::FullVersion() + "\n"},
        {.args = {"--help"}, .says = std::string(kHelp)},
        {.args = {"-p", "x", st}, .in = "m", .status = 2, .says = "never taken", .hint = true},
        {.args = {sf, "in", "out"}, .status = 2, .says = "no terminal", .hint = true},
        {.args = {st, "--password-file", "none"}, .in = "m", .status = 1, .says = "password file"},
        {.args = {sf, "--password-file", "blank", "in", "out"}, .status = 2, .says = "blank."},
        {.args = {st, "--password-file", "snow"}, .in = "m", .status = 1, .says = "holds a char"},
        {.args = {st, "--password-file", "pw4096"}, .in = "m", .says = "?"},
        {.args = {st, "--password-file", "pw4097"}, .in = "m", .status = 2, .says = "4096 bytes"},
        {.args = {st, "--password-file", "/dev/zero"}, .in = "m", .status = 2, .says = "4096"},
        {.args = {st, pw}, .status = 2, .says = "No message to secure."},
        {.args = {dt, pw}, .status = 2, .says = "No message to de-secure."},
        {.args = {st, pw, "-i", "none"}, .status = 1, .says = "Cannot read"},
        // Line breaks become CR LF, the password is its file's first line,
        // both in the window's codes.
        {.args = {st, "--password-file", "key"},
         .in = "caf\xC3\xA9\r\n\xE2\x82\xAC\n",
         .says = VBEncrypt::SecureMessage("caf\xE9\r\n\x80\r\n", "p\xE4ss \x80") + "\n"},
        // Secured text broken into lines of any kind.
        {.args = {dt, pw, "--input", "lines"}, .says = "hello"},
        // A wrong password: the noise is printed all the same, with a warning.
        {.args = {dt, "--password-file", "wrong"},
         .in = meet,
         .says = noise,
         .warns = "hushnote-cli: the result does not look like text: was the password right?\n"},
        // The limit counts characters after LF became CR LF, 20,000 of them.
        {.args = {st, pw}, .in = euros, .says = "?"},
        {.args = {st, pw}, .in = std::string(20001, 'x'), .status = 2, .says = limit},
        {.args = {st, pw}, .in = std::string(19999, 'x') + "\n", .status = 2, .says = limit},
        {.args = {"desecure-file", pw, "text", "existing"},
         .status = 1,
         .says = "\"text\" is not a secured file: byte 6 is 0x20"},
        // Cut short on the way: what it holds is written, and the status says so.
        {.args = {"desecure-file", pw, "cut", "cut2"}, .status = 3, .says = "3 of the 5 bytes"},
        {.args = {sf, pw, "typo", "out"}, .status = 1, .says = "File not found"},
        // One round trip in each mode.
        {.args = FileCall(sf, "library", "in", "in-library")},
        {.args = FileCall("desecure-file", "library", "in-library", "back-library")},
        {.args = FileCall(sf, "builtin", "in", "in-builtin")},
        {.args = FileCall("desecure-file", "builtin", "in-builtin", "back-builtin")},
    };
    // Text that is not secured, and messages that read like failure markers.
    for (const auto& t : std::vector<std::string>{
             "ab", "????", "hello", secured.substr(0, 8) + "\xC3\xA9" + secured.substr(9)}) {
        cases.push_back({.args = {dt, pw}, .in = t, .status = 1, .says = "not secured text\n"});
    }
    for (const auto& m : {"ERR", "ERR2", "VBError: not a failure"}) {
        cases.push_back(
            {.args = {dt, pw}, .in = VBEncrypt::SecureMessage(m, kPassword), .says = m});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const auto r = RunCli(c.args, c.in);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err.find("try 'hushnote-cli --help'") != npos, c.hint) << r.err;
        if (c.status == 0) {
            EXPECT_TRUE(c.says == "?" ? r.out.size() > 8 : r.out == c.says) << r.out;
            EXPECT_EQ(r.err, c.warns);
        } else {
            EXPECT_EQ(r.out + r.err.substr(0, 14), "hushnote-cli: ") << r.err;
            EXPECT_NE(r.err.find(c.says), npos) << r.err;
        }
        EXPECT_FALSE(fs::exists("out") || fs::exists("typo"));
        EXPECT_EQ(ReadFile("existing") + ReadFile("in"), "keep medata");
    }
    EXPECT_EQ(ReadFile("back-library") + ReadFile("back-builtin"), "datadata");
    EXPECT_EQ(ReadFile("in-builtin"), VBEncrypt::SecureMessage("data", kPassword));
}

// Through a pipe, into a full disk, and appended to where the shell points
// standard output.
TEST_F(Cli, ShellRedirections) {
    const std::string m = "caf\xC3\xA9 5 \xE2\x82\xAC\n\nbye  ", cli = "'" + kCli + "' ";
    const std::string pw = " --password-file pw";
    auto r =
        RunCli({"-c", cli + "secure-text" + pw + " | " + cli + "desecure-text" + pw}, m, "/bin/sh");
    EXPECT_EQ(r.out, m) << r.err;
    r = RunCli({"-c", cli + "secure-text" + pw + " > /dev/full"}, "m", "/bin/sh");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot write standard output"), npos) << r.err;
    WriteFile("log", "earlier\n");
    r = RunCli({"-c", cli + "secure-file" + pw + " pw /dev/stdout >> log"}, "", "/bin/sh");
    EXPECT_EQ(ReadFile("log"), "earlier\n" + VBEncrypt::SecureMessage(kPassword + "\n", kPassword));
}

// Ctrl+C and Ctrl+\ alike: the program stops, removes its temporary file and
// then dies by the signal, so the calling shell sees it.
TEST_F(Cli, InterruptLeavesNoPartialOutputAndTheOldOneUnchanged) {
    WriteFile("plain", std::string(16777215, 'r'));
    WriteFile("existing", "old");
    const std::size_t before = dir.Count();
    for (int sig : {SIGINT, SIGQUIT}) {
        SCOPED_TRACE(sig);
        const pid_t pid =
            Spawn(FileCall("secure-file", "builtin", "plain", "existing"), {null, null, null});
        // Once its temporary file is there, the program is at work.
        for (int i = 0; i < 3000 && dir.Count() == before; ++i, usleep(1000)) {
        }
        kill(pid, sig);
        EXPECT_EQ(Wait(pid), 128 + sig);
        EXPECT_EQ(ReadFile("existing"), "old");
        EXPECT_EQ(dir.Count(), before); // no temporary file left
    }
}

// Only the library in the program's own folder counts, not one in the working
// folder or named by LD_LIBRARY_PATH; a broken one is reported and, unless
// insisted on, the built-in cipher takes over.
TEST_F(Cli, LibraryOnlyFromTheProgramsFolder) {
    const std::string lone = "alone/hushnote-cli",
                      secured = VBEncrypt::SecureMessage("data", kPassword);
    fs::create_directories("alone");
    fs::copy_file(kCli, lone);
    fs::copy_file(fs::path(kCli).parent_path() / "libfncryptlib.so", "libfncryptlib.so");
    WriteFile("in", "data");
    setenv("LD_LIBRARY_PATH", ".", 1);
    auto r = RunCli(FileCall("secure-file", "library", "in", "out"), "", lone);
    unsetenv("LD_LIBRARY_PATH");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("library"), npos) << r.err;
    EXPECT_FALSE(fs::exists("out"));
#ifdef HUSHNOTE_BROKEN_LIBRARY
    fs::copy_file(HUSHNOTE_BROKEN_LIBRARY, "alone/libfncryptlib.so");
    r = RunCli({"secure-file", "--password-file", "pw", "in", "out2"}, "", lone);
    EXPECT_NE(r.err.find("Error #453"), npos) << r.err;
    EXPECT_EQ(std::to_string(r.status) + ReadFile("out2"), "0" + secured);
    r = RunCli(FileCall("secure-file", "library", "in", "out3"), "", lone);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists("out3"));
#endif
}

// The password is asked for on the terminal with echo off, then the progress
// bar runs from 0 to 100%. Meanwhile the input is already open (renaming it
// away changes nothing), and the process, holding a password, dumps no core
// even when started with core dumps allowed.
TEST_F(Cli, PromptAndProgressBarOnATerminal) {
    const std::string plain(100000, 'z');
    WriteFile("plain", plain);
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    rlimit saved{}, core{};
    getrlimit(RLIMIT_CORE, &saved);
    setrlimit(RLIMIT_CORE, &(core = {saved.rlim_max, saved.rlim_max}));
    const pid_t pid = Spawn({"secure-file", "plain", "out"}, {null, null, terminal});
    setrlimit(RLIMIT_CORE, &saved);
    close(terminal);
    termios mode{};
    mode.c_lflag = ECHO;
    for (int i = 0; i < 3000 && (mode.c_lflag & ECHO); ++i, usleep(1000)) {
        tcgetattr(master, &mode);
    }
    prlimit(pid, RLIMIT_CORE, nullptr, &core);
    fs::rename("plain", "moved");
    ASSERT_EQ(write(master, "pw\n", 3), 3);
    std::string seen;
    char buffer[4096];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) {
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(Wait(pid), 0) << seen;
    EXPECT_EQ(seen.rfind("Password: \r\n\r[------------------------------]   0%", 0), 0u) << seen;
    EXPECT_NE(seen.find("100%  100,000 / 100,000 bytes\r\n"), npos) << seen;
    EXPECT_EQ(ReadFile("out"), VBEncrypt::SecureMessage(plain, "pw"));
    EXPECT_FALSE(fs::exists("plain")) << "the input was created anew";
    EXPECT_EQ(core.rlim_cur, 0u) << "hard limit " << saved.rlim_max;
}

} // namespace
} // namespace hushnote::cli
