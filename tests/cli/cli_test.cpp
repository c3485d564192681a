// hushnote-cli run as a user or a script would run it, where the process
// itself matters: exit statuses, terminals, signals, the library it loads.

#include "cipher/VBEncrypt.h"
#include "cipher/file_test_util.h"
#include "cipher/test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

const std::string kCli = HUSHNOTE_CLI;
const std::string kPassword = "Tr0ub4dor&3";
constexpr auto npos = std::string::npos;

struct Result {
    int status = -1;
    std::string out, err;
};

// Starts program with the given standard streams, extra environment
// ("NAME=value") and working folder, in a session of its own: a password
// prompt can only ask on a terminal handed over as standard error.
pid_t Spawn(const std::string& program, std::vector<std::string> argv, const int (&fds)[3],
            std::vector<std::string> env = {}, const std::string& cwd = "") {
    argv.insert(argv.begin(), program);
    std::vector<char*> args;
    for (auto& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        ioctl(fds[2], TIOCSCTTY, 0);
        for (auto& e : env) {
            putenv(e.data());
        }
        for (int i = 0; i < 3; ++i) {
            dup2(fds[i], i);
        }
        if (cwd.empty() || chdir(cwd.c_str()) == 0) {
            execv(args[0], args.data());
        }
        _exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

Result RunCli(std::vector<std::string> args, const std::string& input = "",
              const std::string& program = kCli, std::vector<std::string> env = {},
              const std::string& cwd = "") {
    std::FILE* files[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
    std::fwrite(input.data(), 1, input.size(), files[0]);
    std::rewind(files[0]);
    Result r;
    r.status = Wait(
        Spawn(program, args, {fileno(files[0]), fileno(files[1]), fileno(files[2])}, env, cwd));
    r.out = ReadFile("/proc/self/fd/" + std::to_string(fileno(files[1])));
    r.err = ReadFile("/proc/self/fd/" + std::to_string(fileno(files[2])));
    for (auto* f : files) {
        std::fclose(f);
    }
    return r;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "pw", kPassword + "\n");
        null = open("/dev/null", O_RDWR | O_CLOEXEC);
    }
    void TearDown() override { close(null); }

    std::string P(const std::string& name) const { return (dir / name).string(); }

    // A file command on names in the test folder; mode "" leaves the default.
    std::vector<std::string> FileCall(const std::string& command, const std::string& mode,
                                      const std::string& in, const std::string& out) const {
        std::vector<std::string> a{command, "--password-file", P("pw"), P(in), P(out)};
        if (!mode.empty()) {
            a.insert(a.begin() + 1, {"--mode", mode});
        }
        return a;
    }

    // The program alone in a folder of its own, where no library is found.
    std::string LoneCopy(const std::string& name) {
        fs::create_directories(dir / name);
        fs::copy_file(kCli, dir / name / "hushnote-cli");
        return P(name + "/hushnote-cli");
    }

    test::TempDir dir;
    int null = -1;
};

// Representative answers, refusals and failures: the status, the reason,
// nothing on standard output, and no file created or changed.
TEST_F(Cli, ExitStatuses) {
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"blank", "\n"},
             {"snow", "\xE2\x98\x83\n"},
             {"in", "data"},
             {"junk", "ab"},
             {"existing", "keep me"},
             {"text", "hello world\n"},
             {"pw4097", std::string(4097, 'p') + "\n"}}) {
        WriteFile(dir / name, text);
    }
    const std::string secured = VBEncrypt::SecureMessage("hello", kPassword);
    WriteFile(dir / "cut", secured.substr(0, 12));
    std::string euros; // 20,000 characters in 60,000 bytes
    for (int i = 0; i < 20000; ++i) {
        euros += "\xE2\x82\xAC";
    }
    const std::string pw = "--password-file=" + P("pw"), limit = "Message limit is 20,000";
    const std::string st = "secure-text", dt = "desecure-text", sf = "secure-file";
    struct Case {
        std::vector<std::string> args; // "@name": name in the test folder
        std::string in = {};
        int status = 0;
        std::string says = {}; // on standard output for status 0, else on standard error
        bool hint = false;
    };
    std::vector<Case> cases = {
        {.args = {"--version"}, .status = 0, .says = "hushnote-cli "},
        {.args = {"--help"}, .status = 0, .says = "Exit status: 0 success;"},
        {.args = {"-p", "x", st}, .in = "m", .status = 2, .says = "never taken", .hint = true},
        {.args = {sf, "@in", "@out"}, .status = 2, .says = "no terminal", .hint = true},
        {.args = {st, "--password-file", "@none"}, .in = "m", .status = 1, .says = "password file"},
        {.args = {sf, "--password-file", "@blank", "@in", "@out"},
         .status = 2,
         .says = "hushnote-cli: Password is blank.\n"},
        {.args = {st, "--password-file", "@snow"}, .in = "m", .status = 1, .says = "holds a char"},
        {.args = {st, "--password-file", "@pw4097"}, .in = "m", .status = 2, .says = "4096 bytes"},
        {.args = {st, pw}, .status = 2, .says = "No message to secure."},
        {.args = {dt, pw}, .status = 2, .says = "No message to de-secure."},
        {.args = {st, pw}, .in = "snow \xE2\x98\x83", .status = 1, .says = "(U+2603)"},
        {.args = {st, pw, "-i", "@none"}, .status = 1, .says = "Cannot read"},
        // The limit counts characters after LF became CR LF.
        {.args = {st, pw}, .in = std::string(20000, 'x'), .status = 0},
        {.args = {st, pw}, .in = std::string(20001, 'x'), .status = 2, .says = limit},
        {.args = {st, pw}, .in = std::string(19999, 'x') + "\n", .status = 2, .says = limit},
        {.args = {st, pw}, .in = euros, .status = 0},
        {.args = {"desecure-file", pw, "@junk", "@out"}, .status = 1, .says = "not a secured"},
        {.args = {"desecure-file", pw, "@text", "@existing"},
         .status = 1,
         .says = "byte 6 is 0x20"},
        // Cut short on the way: what it holds is written, and the status says so.
        {.args = {"desecure-file", pw, "@cut", "@cut2"}, .status = 3, .says = "3 of the 5 bytes"},
        {.args = {sf, pw, "@typo", "@out"}, .status = 1, .says = "File not found"},
    };
    // A sound header, then a character no secured text holds.
    for (const auto& text : std::vector<std::string>{
             "ab", "????", "hello", secured.substr(0, 8) + "\xC3\xA9" + secured.substr(9)}) {
        cases.push_back({.args = {dt, pw}, .in = text, .status = 1, .says = "not secured text\n"});
    }
    for (auto c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        for (auto& a : c.args) {
            a = a.size() > 1 && a[0] == '@' ? P(a.substr(1)) : a;
        }
        const auto r = RunCli(c.args, c.in);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.says), npos) << r.out << r.err;
        EXPECT_EQ(r.err.find("try 'hushnote-cli --help'") != npos, c.hint) << r.err;
        if (c.status != 0) {
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err.rfind("hushnote-cli: ", 0), 0u) << r.err;
        }
        EXPECT_FALSE(fs::exists(dir / "out") || fs::exists(dir / "typo"));
        EXPECT_EQ(ReadFile(dir / "existing") + ReadFile(dir / "in"), "keep medata");
    }
}

// The window's secured text of the message with CR LF line breaks (a final
// one kept), keyed by the password file's first line, both in the window's
// single-byte codes.
TEST_F(Cli, SecureTextIsTheWindowsSecureOfTheCrLfMessage) {
    WriteFile(dir / "key", "p\xC3\xA4ss \xE2\x82\xAC\r\nsecond\n");
    const auto r =
        RunCli({"secure-text", "--password-file", P("key")}, "caf\xC3\xA9\r\n\xE2\x82\xAC\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, VBEncrypt::SecureMessage("caf\xE9\r\n\x80\r\n", "p\xE4ss \x80") + "\n");
}

// Secured text broken into lines of any kind, read from a file (-i).
TEST_F(Cli, DeSecureTextJoinsLines) {
    const std::string secured = VBEncrypt::SecureMessage("first\r\nsecond", kPassword);
    const char* breaks[] = {"\r\n", "\n", "\r"};
    std::string broken;
    for (std::size_t i = 0; i < secured.size(); i += 7) {
        broken += secured.substr(i, 7) + breaks[i / 7 % 3];
    }
    WriteFile(dir / "broken", broken);
    const auto r = RunCli({"desecure-text", "--password-file", P("pw"), "-i", P("broken")}, "x");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "first\nsecond");
}

// Messages that read like the engine's failure markers are messages.
TEST_F(Cli, TextRoundTripsThroughAPipe) {
    const std::string cli = "'" + kCli + "' ", pw = " --password-file '" + P("pw") + "'";
    for (const std::string m :
         {"x", "caf\xC3\xA9 5 \xE2\x82\xAC\n\nbye  ", "ERR", "ERR2", "VBError: not a failure"}) {
        const auto r = RunCli({"-c", cli + "secure-text" + pw + " | " + cli + "desecure-text" + pw},
                              m, "/bin/sh");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, m);
    }
    // A full standard output is a failure, not a success.
    const auto r = RunCli({"-c", cli + "secure-text" + pw + " > /dev/full"}, "m", "/bin/sh");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("standard output"), npos) << r.err;
}

// Across the 4095-byte piece; off a terminal nothing goes to standard error.
TEST_F(Cli, FileRoundTripsInEachMode) {
    std::mt19937 rng(20260);
    const std::string plain = test::RandomBytes(rng, 5000);
    WriteFile(dir / "plain", plain);
    for (const std::string mode : {"library", "builtin"}) {
        auto r = RunCli(FileCall("secure-file", mode, "plain", "secured-" + mode));
        EXPECT_EQ(std::to_string(r.status) + r.out + r.err, "0");
        r = RunCli(FileCall("desecure-file", mode, "secured-" + mode, "back-" + mode));
        EXPECT_EQ(std::to_string(r.status) + r.out + r.err, "0");
        EXPECT_EQ(ReadFile(dir / ("back-" + mode)), plain) << mode;
    }
    EXPECT_EQ(ReadFile(dir / "secured-builtin"), VBEncrypt::SecureMessage(plain, kPassword));
}

// The input is opened before the password is asked for: renaming it away
// meanwhile changes nothing. Standard output is written where it points,
// appended to as the shell asked, not replaced.
TEST_F(Cli, InputHeldFromTheStartAndStandardOutputAppendedTo) {
    WriteFile(dir / "plain", "the data");
    const std::string secured = VBEncrypt::SecureMessage("the data", kPassword);
    ASSERT_EQ(mkfifo(P("pwpipe").c_str(), 0600), 0);
    const pid_t pid =
        Spawn(kCli, {"secure-file", "--password-file", P("pwpipe"), P("plain"), P("out")},
              {null, null, null});
    int writer = -1; // opens once the program waits for the password
    for (int i = 0; i < 5000 && writer < 0; ++i, usleep(1000)) {
        writer = open(P("pwpipe").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ASSERT_GE(writer, 0);
    fs::rename(dir / "plain", dir / "moved");
    ASSERT_EQ(write(writer, (kPassword + "\n").data(), kPassword.size() + 1),
              static_cast<ssize_t>(kPassword.size() + 1));
    close(writer);
    EXPECT_EQ(Wait(pid), 0);
    EXPECT_EQ(ReadFile(dir / "out"), secured);
    EXPECT_FALSE(fs::exists(dir / "plain")) << "the input was created anew";

    WriteFile(dir / "log", "earlier\n");
    const auto r = RunCli({"-c", "exec \"$0\" \"$@\" >> " + P("log"), kCli, "secure-file",
                           "--password-file", P("pw"), P("moved"), "/dev/stdout"},
                          "", "/bin/sh");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "log"), "earlier\n" + secured);
}

// Ctrl+C and Ctrl+\ alike: the program stops, removes its temporary file and
// then dies by the signal, so the calling shell sees it.
TEST_F(Cli, InterruptLeavesNoPartialOutputAndTheOldOneUnchanged) {
    std::mt19937 rng(3);
    WriteFile(dir / "plain", test::RandomBytes(rng, 16777215));
    WriteFile(dir / "existing", "old");
    const std::size_t before = dir.Count();
    for (int sig : {SIGINT, SIGQUIT}) {
        SCOPED_TRACE(strsignal(sig));
        const pid_t pid = Spawn(kCli, FileCall("secure-file", "builtin", "plain", "existing"),
                                {null, null, null});
        // Once its temporary file is there, the program is at work.
        for (int i = 0; i < 3000 && dir.Count() == before; ++i) {
            usleep(1000);
        }
        const bool atWork = dir.Count() > before;
        kill(pid, sig);
        const int status = Wait(pid);
        if (status == 0 && !atWork) {
            GTEST_SKIP() << "finished before the interrupt arrived";
        }
        EXPECT_EQ(status, 128 + sig);
        EXPECT_EQ(ReadFile(dir / "existing"), "old");
        EXPECT_EQ(dir.Count(), before); // no temporary file left
    }
}

// The process holds passwords, so it turns core dumps off for itself, even
// when it was started with them allowed.
TEST_F(Cli, NoCoreDumpsEvenWhenAllowed) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &saved), 0);
    if (saved.rlim_max == 0) {
        GTEST_SKIP() << "core dumps cannot be allowed here";
    }
    rlimit core{saved.rlim_max, saved.rlim_max};
    int input[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    setrlimit(RLIMIT_CORE, &core);
    const pid_t pid = Spawn(kCli, {"secure-text"}, {input[0], null, null});
    setrlimit(RLIMIT_CORE, &saved);
    close(input[0]);
    // While it waits for its message on the pipe, its limit can be read.
    for (int i = 0; i < 3000 && core.rlim_cur != 0; ++i, usleep(1000)) {
        prlimit(pid, RLIMIT_CORE, nullptr, &core);
    }
    close(input[1]);
    EXPECT_EQ(Wait(pid), 2); // no message
    EXPECT_EQ(core.rlim_cur, 0u);
}

// Only the library in the program's own folder counts: not one planted in the
// working folder or named by LD_LIBRARY_PATH.
TEST_F(Cli, LibraryOnlyFromTheProgramsFolder) {
    const std::string lone = LoneCopy("alone");
    WriteFile(dir / "plain", "some data");
    fs::create_directories(dir / "work");
    fs::copy_file(fs::path(kCli).parent_path() / "libfncryptlib.so",
                  dir / "work" / "libfncryptlib.so");
    const std::vector<std::string> env{"LD_LIBRARY_PATH=" + P("work")};
    auto r = RunCli(FileCall("secure-file", "library", "plain", "out"), "", lone, env, P("work"));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("library"), npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
    // The other modes fall back to the built-in cipher without a word.
    for (const std::string mode : {"auto", "builtin"}) {
        r = RunCli(FileCall("secure-file", mode, "plain", "out-" + mode), "", lone);
        EXPECT_EQ(std::to_string(r.status) + r.err, "0");
        EXPECT_EQ(ReadFile(dir / ("out-" + mode)),
                  VBEncrypt::SecureMessage("some data", kPassword));
    }
}

#ifdef HUSHNOTE_BROKEN_LIBRARY
TEST_F(Cli, BrokenLibraryIsReportedAndTheBuiltInCipherTakesOver) {
    const std::string lone = LoneCopy("broken");
    fs::copy_file(HUSHNOTE_BROKEN_LIBRARY, dir / "broken" / "libfncryptlib.so");
    WriteFile(dir / "plain", "some data");
    auto r = RunCli(FileCall("secure-file", "", "plain", "out"), "", lone);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Error #453"), npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "out"), VBEncrypt::SecureMessage("some data", kPassword));
    r = RunCli(FileCall("secure-file", "library", "plain", "out2"), "", lone);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir / "out2"));
}
#endif

// What the program writes on the terminal, until marker shows or it closes it.
std::string ReadUntil(int terminal, std::string_view marker) {
    std::string seen;
    char buffer[4096];
    for (pollfd p{terminal, POLLIN, 0};
         (marker.empty() || seen.find(marker) == npos) && poll(&p, 1, 5000) > 0;) {
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    return seen;
}

// The password is asked for on the terminal with echo off, then the progress
// bar runs from 0 to 100%.
TEST_F(Cli, PromptAndProgressBarOnATerminal) {
    const std::string plain(100000, 'z');
    WriteFile(dir / "plain", plain);
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const pid_t pid =
        Spawn(kCli, {"secure-file", P("plain"), P("secured")}, {null, null, terminal});
    close(terminal);
    std::string seen = ReadUntil(master, "Password: ");
    termios mode{};
    for (int i = 0; i < 3000 && (tcgetattr(master, &mode) != 0 || (mode.c_lflag & ECHO)); ++i) {
        usleep(1000);
    }
    ASSERT_EQ(write(master, (kPassword + "\n").data(), kPassword.size() + 1),
              static_cast<ssize_t>(kPassword.size() + 1));
    seen += ReadUntil(master, "");
    close(master);
    EXPECT_EQ(Wait(pid), 0) << seen;
    EXPECT_EQ(seen.find(kPassword), npos) << seen;
    EXPECT_NE(seen.find("Password: "), npos) << seen;
    EXPECT_NE(seen.find("  0%"), npos) << seen;
    EXPECT_NE(seen.find("100%  100,000 / 100,000 bytes"), npos) << seen;
    EXPECT_EQ(ReadFile(dir / "secured"), VBEncrypt::SecureMessage(plain, kPassword));
}

} // namespace
} // namespace hushnote
