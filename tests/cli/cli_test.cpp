// hushnote-cli: its command line read in process, then the built program run
// as a user or a script would run it, where the process itself matters.

#include "cli/CliError.h"
#include "cli/CliText.h"
#include "cli/Options.h"
#include "common/codepage.h"
#include "engine/VBEncrypt.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace hushnote::cli {
namespace {

namespace fs = std::filesystem;
using namespace test;

const std::string kCli = HUSHNOTE_CLI;
const std::string kPassword = "Tr0ub4dor&3";
constexpr auto npos = std::string::npos;
const int null = open("/dev/null", O_RDWR | O_CLOEXEC);

// The voice of every message (cli/Terminal.h): whole sentences, starting
// with a capital or a name as typed. A message written in another voice, as
// a lower-case fragment, fails here.
bool InTheVoice(const std::string& message) {
    static const std::regex voice(R"(([A-Z"-]|(de)?secure-(file|text) |receiver-page ).*[.?])");
    return std::regex_match(message, voice);
}

// Standard error holds whole lines, each a message in the voice.
void ExpectInTheVoice(const std::string& err) {
    for (std::size_t at = 0, end; (end = err.find('\n', at)) != npos; at = end + 1) {
        const std::string line = err.substr(at, end - at);
        EXPECT_TRUE(line.rfind("hushnote-cli: ", 0) == 0 && InTheVoice(line.substr(14))) << line;
    }
    EXPECT_TRUE(err.empty() || err.back() == '\n') << err;
}

// Usage errors name the mistake and point at --help, which is answered
// before anything else is checked; says "" is a call that is accepted.
TEST(ParseArguments, UsageErrors) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"encrypt"}, "Unknown command \"encrypt\"."},
        {{"desecure-file", "a", "b", "c"}, "desecure-file needs an input file"},
        {{"receiver-page"}, "receiver-page needs the file"},
        {{"secure-file", "-i", "x", "a", "b"}, "-i is for the text commands"},
        {{"secure-text", "x"}, "secure-text takes no arguments"},
        {{"secure-text", "--mode", "library"}, "Text is always secured"},
        {{}, "No command given."},
        {{"--mode", "fast", "secure-text"}, "Unknown mode \"fast\" (auto, libr"},
        {{"secure-text", "--password-file"}, "--password-file needs a value"},
        {{"--password=x", "secure-text"}, "The password is never taken from"},
        {{"secure-text", "--hint", "h"}, "--hint is for receiver-page; secure-text writes no page"},
        {{"--hint=h", "desecure-file", "a", "b"}, "--hint is for receiver-page; desecure-file"},
        {{"desecure-text", "--chat"}, "--chat is for secure-text; desecure-text writes no"},
        {{"desecure-text", "--input=x", "--mode=auto", "--password-file=p"}, ""},
        {{"encrypt", "--version", "-h"}, ""},
        // What a terminal would obey or reorder, and the line and paragraph
        // separators that break a line in the window's boxes, are shown
        // escaped; a typed backslash is not an escape, nor a quote the end of the name.
        {{"\x1b[2J\xe2\x80\xae\xe2\x80\xa8\xe2\x80\xa9\xd8\x9c\xff\\xff\".txt"},
         "Unknown command \"\\x1b[2J\\u202e\\u2028\\u2029\\u061c\\xff\\\\xff\\\".txt\".\n"},
        {{"--\xe2\x81\xa6x", "secure-text"}, "Unknown option \"--\\u2066x\".\n"},
        {{"--mode", "\xe2\x80\x8f\xc2\x9b", "secure-text"},
         "Unknown mode \"\\u200f\\u009b\" (auto"},
    };
    for (const auto& [args, says] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        try {
            ParseArguments(args);
            EXPECT_EQ(says, "");
        } catch (const CliError& e) {
            EXPECT_EQ((std::string(e.what()) + "\n").rfind(says, 0), 0u) << e.what();
            EXPECT_TRUE(!says.empty() && e.status() == ExitStatus::Usage && e.hint());
            EXPECT_TRUE(InTheVoice(e.what())) << e.what();
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

// A program that hangs is killed after a minute: its test fails, not the run.
int Wait(pid_t pid) {
    int st = 0;
    pid_t done = 0;
    for (int i = 0; i < 60000 && (done = waitpid(pid, &st, WNOHANG)) == 0; ++i) {
        usleep(1000);
    }
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &st, 0);
    }
    return WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st); // an exit is no death by signal
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
// of standard output for status 0), and no file created where refused.
TEST_F(Cli, ExitStatusesAndOutputs) {
    const std::string secured = VBEncrypt::SecureMessage("hello", kPassword);
    WriteFile("blank", "\n");
    WriteFile("key", "p\xC3\xA4ss \xE2\x82\xAC\r\nsecond");
    WriteFile("in", "data");
    WriteFile("pw4096", std::string(4096, 'p') + "\r\n");
    WriteFile("pw4097", std::string(4097, 'p'));
    WriteFile("cut", secured.substr(0, 12));
    WriteFile("wrong", "Tr0ub4dor&4\n");
    const std::string meet = VBEncrypt::SecureMessage("Meet me at the station at noon.", kPassword);
    const std::string noise =
        codepage::CodesToUtf8(ToLf(VBEncrypt::DeSecureMessage(meet, "Tr0ub4dor&4")));
    WriteFile("lines", secured.substr(0, 5) + "\r\n" + secured.substr(5, 4) + "\r" +
                           secured.substr(9, 3) + "\n" + secured.substr(12));
    const std::string pw = "--password-file=pw", limit = "Message limit is 20,000";
    const std::string st = "secure-text", dt = "desecure-text", sf = "secure-file";
    // A copy of the program with a page of its own beside it, for receiver-page.
    fs::create_directories("alone");
    fs::copy_file(kCli, "alone/hushnote-cli");
    WriteFile("alone/hushnote.html", "<p>page</p>");
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    const std::string unread = "\"fifo\" is a pipe that no program reads.";
    // clang-format off
    const struct {
        std::vector<std::string> args; std::string in = {}; int status = 0; std::string says = {}; bool hint = false;
        std::string warns = {}; // all of standard error for status 0
        std::string program = kCli;
    } cases[] = {
        {.args = {"--help"}, .says = std::string(kHelp)},
        {.args = {"-p", "x", st}, .in = "m", .status = 2, .says = "never taken", .hint = true},
        {.args = {sf, "--password-file", "blank", "in", "out"}, .status = 2, .says = "blank."},
        {.args = {st, "--password-file", "pw4096"}, .in = "m", .says = "?"},
        {.args = {st, "--password-file", "pw4097"}, .in = "m", .status = 2, .says = "4096 bytes"},
        {.args = {st, pw}, .status = 2, .says = "No message to secure."},
        {.args = {st}, .in = "m", .status = 2, .says = "No password: there is no terminal", .hint = true},
        {.args = {"receiver-page", "--hint", "h", "out"}, .status = 2, .says = "--hint goes with a message", .hint = true, .program = "alone/hushnote-cli"},
        // A wrong password: the noise is printed all the same, with a warning.
        {.args = {dt, "--password-file", "wrong"}, .in = meet, .says = noise, .warns = "hushnote-cli: The result does not look like text: was the password right?\n"},
        // Line breaks become CR LF, the password is its file's first line, both in the window's codes.
        {.args = {st, "--password-file", "key"}, .in = "caf\xC3\xA9\r\n\xE2\x82\xAC\n", .says = VBEncrypt::SecureMessage("caf\xE9\r\n\x80\r\n", "p\xE4ss \x80") + "\n"},
        // Secured text broken into lines of any kind.
        {.args = {dt, pw, "--input", "lines"}, .says = "hello"},
        // Told before a password is asked for, which would not help.
        {.args = {dt}, .in = "> hello", .status = 1, .says = "This is not secured text.\n"},
        // Fenced for a chat that formats text.
        {.args = {st, pw, "--chat"}, .in = "data", .says = "```\n" + VBEncrypt::SecureMessage("data", kPassword) + "\n```\n"},
        // A message that reads like a failure marker is a message.
        {.args = {dt, pw}, .in = VBEncrypt::SecureMessage("ERR2", kPassword), .says = "ERR2"},
        {.args = {dt, pw}, .in = VBEncrypt::SecureMessage("VBError: The password is empty.", kPassword), .says = "VBError: The password is empty."},
        // The limit counts characters after LF became CR LF: 20,000 of them in 20,001 bytes.
        {.args = {st, pw}, .in = std::string(19997, 'x') + "\xE2\x82\xAC\n", .says = "?"},
        {.args = {st, pw}, .in = std::string(19999, 'x') + "\n", .status = 2, .says = limit},
        // Cut short on the way: what it holds is written, and the status says so.
        {.args = {"desecure-file", pw, "cut", "cut2"}, .status = 3, .says = "3 of the 5 bytes"},
        {.args = {sf, pw, "in", ""}, .status = 1, .says = "No output file was named."},
        // Refused as the window refuses it, instead of waiting for a reader for ever.
        {.args = {sf, pw, "in", "fifo"}, .status = 1, .says = unread},
        {.args = {"receiver-page", "fifo"}, .status = 1, .says = unread, .program = "alone/hushnote-cli"},
        {.args = {"receiver-page", ""}, .status = 1, .says = "No output file was named.", .program = "alone/hushnote-cli"},
        // A hint the page could not show as typed, refused before anything else.
        {.args = {"receiver-page", "-i", "lines", "--hint", "dog\x1b[2J", "out"}, .status = 1, .says = "The hint holds \\x1b (byte 4), which would"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const auto r = RunCli(c.args, c.in, c.program);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err.find("Try 'hushnote-cli --help' for more information.\n") != npos, c.hint)
            << r.err;
        ExpectInTheVoice(r.err);
        if (c.status == 0) {
            EXPECT_TRUE(c.says == "?" ? r.out.size() > 8 : r.out == c.says) << r.out;
            EXPECT_EQ(r.err, c.warns);
        } else {
            EXPECT_EQ(r.out + r.err.substr(0, 14), "hushnote-cli: ") << r.err;
            EXPECT_NE(r.err.find(c.says), npos) << r.err;
        }
        EXPECT_FALSE(fs::exists("out"));
    }
    EXPECT_EQ(ReadFile("cut2"), "hel");
}

// Every line that names a file shows it escaped: a crafted name can neither
// fake a line, end its quotes early nor steer the terminal.
TEST_F(Cli, FileNamesAreShownEscaped) {
    const std::string n = "x\n\x1b\\\"", shown = "\"x\\n\\x1b\\\\\\\"", pw = "--password-file=pw";
    WriteFile(n + "plain", "plain text");
    WriteFile(n + "cut", VBEncrypt::SecureMessage("hello", kPassword).substr(0, 12));
    WriteFile("in", "data");
    WriteFile(n + "blank", "\n");
    // A foreign byte after 256 KiB went out in place.
    std::string foreign = VBEncrypt::SecureMessage(std::string(300000, 'f'), kPassword);
    foreign.back() = '!';
    WriteFile(n + "foreign", foreign);
    // clang-format off
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"desecure-file", pw, n + "plain", "o"}, shown + "plain\" is not a secured file: byte 6"},
        {{"desecure-file", pw, n + "cut", n + "o"}, shown + "cut\" is damaged: it holds 3 of the 5 bytes its header gives. Those were written to " + shown + "o\"."},
        // The input is opened before the password is read: a blank one is not looked at.
        {{"secure-file", "--password-file=" + n + "blank", n + "gone", "o"}, "File not found: " + shown + "gone\"."},
        {{"secure-file", pw, "in", n + "/o"}, "The folder for " + shown + "/o\" does not exist."},
        {{"desecure-file", pw, n + "foreign", "/dev/stdout"}, shown + "foreign\" is not a secured file: byte 400,008 is 0x21, which secured text never holds. What was written to \"/dev/stdout\" before stays there."},
        {{"secure-text", pw, "-i", n + "gone"}, "Cannot read " + shown + "gone\": "},
        {{"secure-text", "--password-file", n + "gone"}, "Cannot read the password file " + shown + "gone\": "},
    };
    // clang-format on
    for (const auto& [args, says] : cases) {
        const auto r = RunCli(args, "m");
        EXPECT_NE(r.err.find(says), npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        ExpectInTheVoice(r.err);
        EXPECT_EQ(r.err.find('\x1b'), npos) << r.err;
    }
}

// Any name of standard output, "secure-file in NAME >> log" appends to log
// through the descriptor instead of replacing it; a closed one is refused.
TEST_F(Cli, EverySpellingOfStandardOutput) {
    WriteFile("in", "data");
    fs::create_symlink("/dev/stdout", "link");
    const std::string secured = VBEncrypt::SecureMessage("data", kPassword);
    // clang-format off
    const struct { const char* name; const char* redirect = ">> log"; int status = 0; const char* says = ""; } cases[] = {
        {"/dev/stdout"}, {"//dev/stdout"}, {"/dev/./stdout"}, {"/proc/thread-self/fd/1"}, {"/proc/$$/fd/1"},
        {"/dev/fd/../fd/1"}, {"link"}, {"/proc/self/fd/1"}, {"log"},
        {"/dev/stdout", ">&-", 1, "Standard output is closed: \"/dev/stdout\" cannot be written."},
        {"/proc/1/fd/1", ">> log", 1, "another program holds open"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("log", "LOG\n");
        // exec: $$ is then the program's own process.
        const auto r = RunCli({"-c", "exec '" + kCli + "' secure-file --password-file pw in " +
                                         c.name + " " + c.redirect},
                              "", "/bin/sh");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), npos) << r.err;
        EXPECT_EQ(ReadFile("log"), c.status == 0 ? "LOG\n" + secured : "LOG\n");
        EXPECT_TRUE(fs::is_symlink("link"));
    }
}

// A failed write of standard output is reported, not taken for success, and
// says what happened: a full disk, or a reader that went away while SIGPIPE
// was ignored. A closed one holds /dev/null from the start, where a write
// would succeed.
TEST_F(Cli, FullDiskAndGoneReader) {
    const std::pair<const char*, const char*> texts[] = {
        {"> /dev/full", "Cannot write standard output"},
        {">&-", "Standard output is closed: the text cannot be written."},
    };
    for (const auto& [redirect, says] : texts) {
        const auto t = RunCli({"-c", "'" + kCli + "' secure-text --password-file pw " + redirect},
                              "m", "/bin/sh");
        EXPECT_EQ(t.status, 1) << redirect;
        EXPECT_NE(t.err.find(says), npos) << t.err;
    }
    WriteFile("big", std::string(1 << 20, 'b'));
    const auto r = RunCli(
        {"-c", "trap '' PIPE; '" + kCli +
                   "' secure-file --password-file pw big /dev/stdout | head -c 1 >/dev/null"},
        "", "/bin/sh");
    EXPECT_NE(r.err.find("\"/dev/stdout\": the program that read it has gone away."), npos)
        << r.err;
}

// Waits until pid writes at least bytes of its output under dir, into a
// temporary file with a name or without.
void WaitForOutput(pid_t pid, const fs::path& dir, long long bytes) {
    const auto written = [&] {
        struct stat st = {};
        const fs::path t = TemporaryIn(dir, std::to_string(pid));
        return !t.empty() && ::stat(t.c_str(), &st) == 0 ? st.st_size : -1;
    };
    for (int i = 0; i < 10000 && written() < bytes; ++i, usleep(1000)) {
    }
}

// SIGKILL (or, for the window, a lost X server) at any point of a 16 MiB
// file: no new name is left in the folder, and the old output is intact.
TEST_F(Cli, KilledAtAnyPointLeavesNothingBehind) {
    WriteFile("plain", std::string(16777215, 'k'));
    ASSERT_EQ(RunCli(FileCall("secure-file", "library", "plain", "secured")).status, 0);
    WriteFile("existing", "old");
    const std::size_t before = dir.Count();
    const long long securedSize = 8 + 16777215 / 3 * 4;
    // clang-format off
    const struct { const char* command; const char* in; long long at; } cases[] = {
        {"secure-file", "plain", 0}, {"secure-file", "plain", securedSize / 4}, {"secure-file", "plain", securedSize / 2},
        {"desecure-file", "secured", 0}, {"desecure-file", "secured", 16777215 / 4}, {"desecure-file", "secured", 16777215 / 2},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " at " + std::to_string(c.at));
        const pid_t pid =
            Spawn(FileCall(c.command, "builtin", c.in, "existing"), {null, null, null});
        WaitForOutput(pid, dir.path(), c.at);
        kill(pid, SIGKILL);
        EXPECT_EQ(Wait(pid), -SIGKILL);
        EXPECT_EQ(ReadFile("existing"), "old");
        EXPECT_EQ(dir.Count(), before);
    }
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
        WaitForOutput(pid, dir.path(), 0); // then the program is at work
        kill(pid, sig);
        EXPECT_EQ(Wait(pid), -sig);
        EXPECT_EQ(ReadFile("existing"), "old");
        EXPECT_EQ(dir.Count(), before); // no temporary file left
    }
    // Also while blocked on a full pipe that its reader reads no further,
    // part-way through a write; the failure says what happened.
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    const int reader = open("fifo", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    std::FILE* err = std::tmpfile();
    const pid_t pid =
        Spawn(FileCall("secure-file", "library", "plain", "fifo"), {null, null, fileno(err)});
    for (int i = 0, queued = 0; i < 10000 && queued < 65536; ++i, usleep(1000)) {
        ioctl(reader, FIONREAD, &queued);
    }
    kill(pid, SIGTERM);
    int st = 0;
    pid_t done = 0;
    for (int i = 0; i < 500 && (done = waitpid(pid, &st, WNOHANG)) == 0; ++i, usleep(10000)) {
    }
    ::close(reader); // unblocks it, if it is still there
    if (done == 0) {
        ADD_FAILURE() << "an interrupt did not stop it";
        waitpid(pid, &st, 0);
    }
    EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGTERM) << st;
    EXPECT_EQ(ReadFile("/proc/self/fd/" + std::to_string(fileno(err))),
              "hushnote-cli: Writing \"fifo\" was interrupted. What was written to it before stays "
              "there.\n");
    std::fclose(err);
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
    WriteFile("blank", "\n");
    setenv("LD_LIBRARY_PATH", ".", 1);
    // Told before the password is read: a blank one is not even looked at.
    auto r =
        RunCli({"secure-file", "--mode=library", "--password-file=blank", "in", "out"}, "", lone);
    unsetenv("LD_LIBRARY_PATH");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("library"), npos) << r.err;
    EXPECT_FALSE(fs::exists("out"));
    fs::copy_file(HUSHNOTE_BROKEN_LIBRARY, "alone/libfncryptlib.so");
    // Left to the program, the library is tried only once the password is in.
    r = RunCli({"secure-file", "--password-file=blank", "in", "out"}, "", lone);
    EXPECT_EQ(r.err, "hushnote-cli: Password is blank.\n");
    r = RunCli({"secure-file", "--password-file", "pw", "in", "out2"}, "", lone);
    EXPECT_NE(r.err.find("Error #453"), npos) << r.err;
    ExpectInTheVoice(r.err);
    EXPECT_EQ(std::to_string(r.status) + ReadFile("out2"), "0" + secured);
    r = RunCli(FileCall("secure-file", "library", "in", "out3"), "", lone);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists("out3"));
    // Built for another processor: e_machine (bytes 18 and 19) says AArch64.
    fs::remove("alone/libfncryptlib.so");
    fs::copy_file(fs::path(kCli).parent_path() / "libfncryptlib.so", "alone/libfncryptlib.so");
    std::fstream("alone/libfncryptlib.so", std::ios::in | std::ios::out | std::ios::binary)
        .seekp(18)
        .write("\xb7\x00", 2);
    r = RunCli(FileCall("secure-file", "library", "in", "out3"), "", lone);
    EXPECT_NE(r.err.find("it is built for another processor (ELF machine 183"), npos) << r.err;
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
