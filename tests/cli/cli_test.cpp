// hushnote-cli end to end: the built program is run as a user or a script
// would run it, and its output is checked against the engine.

#include "cipher/VBEncrypt.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <signal.h>
#include <sstream>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// Starts argv[0] with the given standard streams, extra environment
// ("NAME=value") and working folder. The child starts a session of its own:
// it has no terminal, so a password prompt can never wait for a test.
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

// Runs program (the tool unless named) with args and input on standard input.
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
    void SetUp() override { WriteFile(dir / "pw", kPassword + "\n"); }

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
};

// ---- Answers, refusals and failures: the status, a word of the reason,
// nothing on standard output, and no file created or changed.

TEST_F(Cli, ExitStatuses) {
    const char* files[][2] = {
        {"blank1", ""},      {"blank2", "\n"},           {"blank3", "\r\n"},
        {"blank4", "\nx\n"}, {"snow", "\xE2\x98\x83\n"}, {"in", "data"},
        {"junk", "ab"},      {"existing", "keep me"},    {"text", "hello world\n"}};
    // The longest first line a password file may have, and one byte more.
    WriteFile(dir / "pw4096", std::string(4096, 'p') + "\r\n");
    WriteFile(dir / "pw4097", std::string(4097, 'p') + "\n");
    for (const auto& [name, text] : files) {
        WriteFile(dir / name, text);
    }
    fs::create_directories(dir / "folder");
    ASSERT_EQ(mkfifo(P("fifo").c_str(), 0600), 0);
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
        std::string input;
        int status;
        std::string says; // on standard output for status 0, else on standard error
    };
    std::vector<Case> cases = {
        {{"--version"}, "", 0, "hushnote-cli "},
        {{"--help"}, "", 0, "--password-file"},
        {{}, "m", 2, "no command"},
        {{"encrypt"}, "m", 2, "unknown command"},
        {{"--frobnicate", st}, "m", 2, "unknown option"},
        {{sf, "only-one"}, "", 2, "needs an input file"},
        {{st, "extra"}, "m", 2, "takes no arguments"},
        {{"--mode", "fast", st}, "m", 2, "unknown mode"},
        {{"--mode", "library", st}, "m", 2, "built-in cipher"},
        {{"-i", "x", sf, "a", "b"}, "", 2, "-i is for the text commands"},
        {{"--password", "secret", st}, "m", 2, "never taken from the command line"},
        {{"-p", "secret", st}, "m", 2, "never taken from the command line"},
        {{sf, "@in", "@out"}, "", 2, "use --password-file"}, // no terminal to ask on
        {{st, "--password-file", "@nothing"}, "m", 1, "password file"},
        {{sf, "--password-file", "@blank2", "@in", "@out"}, "", 2, "Password is blank."},
        // The window's codes cannot hold it; the password is not shown.
        {{st, "--password-file", "@snow"}, "m", 1, "The password holds a character"},
        {{st, "--password-file", "@pw4096"}, "m", 0, ""},
        {{st, "--password-file", "@pw4097"}, "m", 2, "longer than 4096 bytes"},
        // An endless file is refused at once, not read into memory.
        {{st, "--password-file", "/dev/zero"}, "m", 2, "longer than 4096 bytes"},
        {{st, pw}, "", 2, "No message to secure."},
        {{dt, pw}, "", 2, "No message to de-secure."},
        {{st, pw}, "let it snow \xE2\x98\x83\n", 1, "\"\xE2\x98\x83\" (U+2603)"},
        {{st, pw}, "caf\xE9\n", 1, "UTF-8"},
        {{dt, pw}, "????\xE2\x98\x83", 1, "(U+2603) at position 5 cannot be de-secured"},
        {{st, pw, "-i", "@none"}, "", 1, "Cannot read"},
        // A sound header, then a character no secured text holds.
        {{dt, pw}, secured.substr(0, 8) + "\xC3\xA9" + secured.substr(9), 1, "not secured text"},
        // The limit counts characters after LF became CR LF.
        {{st, pw}, std::string(20000, 'x'), 0, ""},
        {{st, pw}, std::string(19998, 'x') + "\n", 0, ""},
        {{st, pw}, std::string(19999, 'x') + "\n", 2, limit},
        {{st, pw}, std::string(20001, 'x'), 2, limit},
        {{st, pw}, euros, 0, ""},
        {{st, pw}, euros + "\xE2\x82\xAC", 2, limit},
        {{"desecure-file", pw, "@junk", "@out"}, "", 1, "is not a secured file"},
        {{"desecure-file", pw, "@junk", "@existing"}, "", 1, "is not a secured file"},
        {{"desecure-file", pw, "@text", "@existing"}, "", 1, "byte 6 is 0x20"},
        // Cut short on the way: what it holds is written, and the status says so.
        {{"desecure-file", pw, "@cut", "@recovered"}, "", 3, "holds 3 of the 5 bytes"},
        {{sf, pw, "@no-folder/in", "@out"}, "", 1, "File not found"},
        {{sf, pw, "@typo", "@out"}, "", 1, "File not found"},
        {{sf, pw, "@in", "@no-folder/out"}, "", 1, ""},
        {{sf, pw, "@folder", "@out"}, "", 1, "is a folder"},
        {{sf, pw, "@fifo", "@out"}, "", 1, "not a regular file"},
        {{sf, pw, "@in", "@./in"}, "", 1, ""},
    };
    for (const char* blank : {"@blank1", "@blank2", "@blank3", "@blank4"}) {
        cases.push_back({{st, "--password-file", blank}, "m", 2, "cli: Password is blank.\n"});
    }
    for (const char* text : {"ab", "hello", "????", "\n\n", "ab\r\ncd\n"}) {
        cases.push_back({{dt, pw}, text, 1, "hushnote-cli: not secured text\n"});
    }
    for (auto c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        for (auto& a : c.args) {
            a = a.size() > 1 && a[0] == '@' ? P(a.substr(1)) : a;
        }
        const auto r = RunCli(c.args, c.input);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.says), npos) << r.out << r.err;
        if (c.status != 0) {
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err.rfind("hushnote-cli: ", 0), 0u) << r.err;
        }
        EXPECT_FALSE(fs::exists(dir / "out") || fs::exists(dir / "typo") ||
                     fs::exists(dir / "no-folder"));
        EXPECT_EQ(ReadFile(dir / "existing") + ReadFile(dir / "in"), "keep medata");
    }
}

// ---- Text

// The window's secured text of the message with CR LF line breaks (a final
// line break kept), keyed by the password file's first line, both in the
// window's single-byte codes.
TEST_F(Cli, SecureTextIsTheWindowsSecureOfTheCrLfMessage) {
    const struct {
        std::string passwordFile, typed, window, key;
    } cases[] = {
        {kPassword + "\n", "Hello\nWorld\n", "Hello\r\nWorld\r\n", kPassword},
        {"abc\r\nsecond\n", "Hello\r\nWorld\r\n", "Hello\r\nWorld\r\n", "abc"},
        {"abc", "note", "note", "abc"},
        {"  \n", "note\n", "note\r\n", "  "},
        {"p\xC3\xA4ssw\xC3\xB6rd \xE2\x82\xAC\n", "caf\xC3\xA9 \xE2\x82\xAC\n", "caf\xE9 \x80\r\n",
         "p\xE4ssw\xF6rd \x80"},
    };
    for (const auto& c : cases) {
        WriteFile(dir / "key", c.passwordFile);
        const auto r = RunCli({"secure-text", "--password-file", P("key")}, c.typed);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, VBEncrypt::SecureMessage(c.window, c.key) + "\n") << c.typed;
    }
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

TEST_F(Cli, TextRoundTripsThroughAPipe) {
    // Secured by the built-in cipher, de-secured in the default mode.
    std::vector<std::string> messages = {"x", "caf\xC3\xA9 costs 5 \xE2\x82\xAC\n\nbye",
                                         "  spaces at the end  ", "ERR", "VBError: not a failure"};
    for (std::size_t size : {4094u, 4095u, 4096u}) {
        messages.push_back(std::string(size - 1, 'w') + "\n");
    }
    const std::string cli = "'" + kCli + "' ", pw = " --password-file '" + P("pw") + "'";
    for (const auto& m : messages) {
        const auto r = RunCli(
            {"-c", cli + "secure-text --mode builtin" + pw + " | " + cli + "desecure-text" + pw}, m,
            "/bin/sh");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, m);
    }
    // A full standard output is a failure, not a success.
    const auto r = RunCli({"-c", cli + "secure-text" + pw + " > /dev/full"}, "m", "/bin/sh");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("standard output"), npos) << r.err;
}

// ---- Files

// Each mode reads what either wrote, around the 4095-byte piece, and the
// built-in cipher writes exactly the window's secured text. Off a terminal
// nothing goes to standard error.
TEST_F(Cli, FileRoundTripsInBothModesAndAcrossThem) {
    std::mt19937 rng(20260);
    for (std::size_t size : {0u, 2u, 4094u, 4095u, 4096u, 8191u}) {
        SCOPED_TRACE(size);
        const std::string plain = test::RandomBytes(rng, size);
        WriteFile(dir / "plain", plain);
        for (const std::string by : {"library", "builtin"}) {
            auto r = RunCli(FileCall("secure-file", by, "plain", "secured-" + by));
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out + r.err, "");
            for (const std::string back : {"library", "builtin"}) {
                r = RunCli(FileCall("desecure-file", back, "secured-" + by, "back"));
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_EQ(r.out + r.err, "");
                EXPECT_EQ(ReadFile(dir / "back"), plain) << by << " -> " << back;
                fs::remove(dir / "back");
            }
        }
        EXPECT_EQ(ReadFile(dir / "secured-builtin"),
                  size == 0 ? "????????" : VBEncrypt::SecureMessage(plain, kPassword));
    }
}

// The input is opened before the password is asked for: renaming it away
// meanwhile changes nothing. Standard output is written where it points,
// appended to as the shell asked, not replaced.
TEST_F(Cli, InputHeldFromTheStartAndStandardOutputAppendedTo) {
    WriteFile(dir / "plain", "the data");
    const std::string secured = VBEncrypt::SecureMessage("the data", kPassword);
    ASSERT_EQ(mkfifo(P("pwpipe").c_str(), 0600), 0);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = Spawn(
        kCli,
        {"secure-file", "--mode", "builtin", "--password-file", P("pwpipe"), P("plain"), P("out")},
        {null, null, null});
    close(null);
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
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        const pid_t pid = Spawn(kCli, FileCall("secure-file", "builtin", "plain", "existing"),
                                {null, null, null});
        close(null);
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
    const rlimit allowed{saved.rlim_max, saved.rlim_max};
    int input[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    setrlimit(RLIMIT_CORE, &allowed);
    const pid_t pid =
        Spawn(kCli, {"secure-text", "--password-file", P("pw")}, {input[0], null, null});
    setrlimit(RLIMIT_CORE, &saved);
    close(input[0]);
    close(null);
    // While it waits for its message on the pipe, its limit can be read.
    std::string soft;
    for (int i = 0; i < 3000 && soft != "0"; ++i) {
        usleep(1000);
        std::istringstream limits(ReadFile("/proc/" + std::to_string(pid) + "/limits"));
        for (std::string line; std::getline(limits, line);) {
            if (line.rfind("Max core file size", 0) == 0) {
                std::istringstream(line.substr(18)) >> soft;
            }
        }
    }
    close(input[1]);
    EXPECT_EQ(Wait(pid), 2); // no message
    EXPECT_EQ(soft, "0");
}

// ---- The library: only the one in the program's own folder counts.

TEST_F(Cli, LibraryOnlyFromTheProgramsFolder) {
    const std::string lone = LoneCopy("alone");
    WriteFile(dir / "plain", "some data");
    auto r = RunCli(FileCall("secure-file", "library", "plain", "out"), "", lone);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("library"), npos) << r.err;
    // Nor one planted in the working folder or named by LD_LIBRARY_PATH.
    fs::create_directories(dir / "work");
    fs::copy_file(fs::path(kCli).parent_path() / "libfncryptlib.so",
                  dir / "work" / "libfncryptlib.so");
    r = RunCli(FileCall("secure-file", "library", "plain", "out"), "", lone,
               {"LD_LIBRARY_PATH=" + P("work")}, P("work"));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
    // The other modes fall back to the built-in cipher without a word.
    for (const std::string mode : {"auto", "builtin"}) {
        r = RunCli(FileCall("secure-file", mode, "plain", "out-" + mode), "", lone);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
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

TEST_F(Cli, ProgressBarOnATerminal) {
    WriteFile(dir / "plain", std::string(100000, 'z'));
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid =
        Spawn(kCli, FileCall("secure-file", "", "plain", "secured"), {null, null, terminal});
    close(terminal);
    close(null);
    std::string seen;
    char buffer[4096];
    for (ssize_t got;
         (got = read(master, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);) {
        seen.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    close(master);
    EXPECT_EQ(Wait(pid), 0) << seen;
    EXPECT_NE(seen.find("  0%"), npos) << seen;
    EXPECT_NE(seen.find("100%  100,000 / 100,000 bytes"), npos) << seen;
}

} // namespace
} // namespace hushnote
