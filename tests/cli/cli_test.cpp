// hushnote-cli end to end: the built program is run as a user or a script
// would run it, and its output is checked against the engine.

#include "cipher/VBEncrypt.h"
#include "cipher/file_test_util.h"
#include "cipher/test_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <signal.h>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kCli = HUSHNOTE_CLI;
const std::string kPassword = "Tr0ub4dor&3";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(dir / "pw", kPassword + "\n"); }

    std::string Pw() const { return (dir / "pw").string(); }

    // Runs program with args, input on standard input, standard output and
    // error into files. The child starts a session of its own: it has no
    // terminal, so a password prompt can never wait for a test.
    Result RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& input = "") {
        const fs::path in = dir / ".stdin", out = dir / ".stdout", err = dir / ".stderr";
        WriteFile(in, input);
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            setsid();
            const int i = open(in.c_str(), O_RDONLY);
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(i, 0);
            dup2(o, 1);
            dup2(e, 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        Result r;
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = ReadFile(out);
        r.err = ReadFile(err);
        fs::remove(in);
        fs::remove(out);
        fs::remove(err);
        return r;
    }

    Result Run(const std::vector<std::string>& args, const std::string& input = "") {
        return RunProgram(kCli, args, input);
    }

    Result Shell(const std::string& script) { return RunProgram("/bin/sh", {"-c", script}); }

    // Standard error on a terminal of its own (a pseudo-terminal), as a user
    // at a terminal sees it.
    std::string StderrOnTerminal(const std::vector<std::string>& args, int& status) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        grantpt(master);
        unlockpt(master);
        const std::string slave = ptsname(master);
        std::vector<std::string> all{kCli};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            setsid();
            const int s = open(slave.c_str(), O_RDWR);
            const int n = open("/dev/null", O_RDWR);
            dup2(n, 0);
            dup2(n, 1);
            dup2(s, 2);
            close(master);
            execv(argv[0], argv.data());
            _exit(127);
        }
        std::string seen;
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(master, buffer, sizeof buffer);
            if (got > 0) {
                seen.append(buffer, static_cast<std::size_t>(got));
            } else if (got < 0 && errno == EINTR) {
                continue;
            } else {
                break; // EIO once the child has closed its side
            }
        }
        int st = 0;
        waitpid(pid, &st, 0);
        close(master);
        status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        return seen;
    }

    // The program alone in a folder of its own, where no library is found.
    std::string LoneCopy(const std::string& name) {
        const fs::path folder = dir / name;
        fs::create_directories(folder);
        fs::copy_file(kCli, folder / "hushnote-cli");
        return (folder / "hushnote-cli").string();
    }

    TempDir dir;
};

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// ---- Calling conventions

TEST_F(Cli, VersionAndHelp) {
    auto r = Run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "hushnote-cli 0.6.0\n");
    r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("secure-file"), std::string::npos);
    EXPECT_NE(r.out.find("--password-file"), std::string::npos);
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> calls = {
        {},
        {"encrypt"},
        {"--frobnicate", "secure-text"},
        {"secure-file", "only-one"},
        {"secure-file", "a", "b", "c"},
        {"secure-text", "extra"},
        {"--mode", "fast", "secure-text"},
        {"--mode"},
        {"--password=secret", "secure-text"},
        {"-p", "secret", "secure-text"},
        {"-i", "x", "secure-file", "a", "b"},
        {"--mode", "library", "secure-text"},
    };
    for (const auto& args : calls) {
        const auto r = Run(args, "message");
        EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
        EXPECT_TRUE(StartsWith(r.err, "hushnote-cli: ")) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(Cli, PasswordOnTheCommandLineIsRefusedWithAReason) {
    const auto r = Run({"--password", "secret", "secure-text"}, "message");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("never taken from the command line"), std::string::npos) << r.err;
}

TEST_F(Cli, BlankPasswordExitsWithTwo) {
    WriteFile(dir / "in", "data");
    for (const std::string blank : {"", "\n", "\r\n", "\nsecond line\n"}) {
        WriteFile(dir / "blank", blank);
        const std::string pw = (dir / "blank").string();
        auto r = Run({"secure-text", "--password-file", pw}, "message");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "hushnote-cli: Password is blank.\n");
        EXPECT_EQ(r.out, "");
        r = Run(
            {"secure-file", "--password-file", pw, (dir / "in").string(), (dir / "out").string()});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("Password is blank."), std::string::npos);
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
}

TEST_F(Cli, NoPasswordFileAndNoTerminalIsAUsageError) {
    WriteFile(dir / "in", "data");
    auto r = Run({"secure-text"}, "message");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--password-file"), std::string::npos);
    r = Run({"secure-file", (dir / "in").string(), (dir / "out").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(Cli, MissingPasswordFileFails) {
    const auto r = Run({"secure-text", "--password-file", (dir / "nothing").string()}, "message");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("password file"), std::string::npos);
}

// ---- Passwords

TEST_F(Cli, PasswordIsTheFirstLineWithoutItsLineBreak) {
    WriteFile(dir / "crlf", "abc\r\nsecond\n");
    WriteFile(dir / "bare", "abc");
    const std::string expected = VBEncrypt::SecureMessage("hello", "abc") + "\n";
    for (const char* name : {"crlf", "bare"}) {
        const auto r = Run({"secure-text", "--password-file", (dir / name).string()}, "hello");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, expected) << name;
    }
}

TEST_F(Cli, PasswordKeepsItsSpaces) {
    WriteFile(dir / "spaces", "  \n");
    const auto r = Run({"secure-text", "--password-file", (dir / "spaces").string()}, "hello");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, VBEncrypt::SecureMessage("hello", "  ") + "\n");
}

TEST_F(Cli, NonAsciiPasswordIsKeyedWithTheWindowsCodes) {
    WriteFile(dir / "umlaut", "p\xC3\xA4ssw\xC3\xB6rd \xE2\x82\xAC\n"); // "pässwörd €"
    const auto r = Run({"secure-text", "--password-file", (dir / "umlaut").string()}, "hello");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, VBEncrypt::SecureMessage("hello", "p\xE4ssw\xF6rd \x80") + "\n");
}

TEST_F(Cli, PasswordOutsideTheCodePageFailsWithoutShowingIt) {
    WriteFile(dir / "snow", "snow\xE2\x98\x83\n"); // a snowman
    const auto r = Run({"secure-text", "--password-file", (dir / "snow").string()}, "hello");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("\xE2\x98\x83"), std::string::npos);
    EXPECT_EQ(r.err.find("U+2603"), std::string::npos);
}

// ---- Text

TEST_F(Cli, SecureTextIsTheWindowsSecureOfTheCrLfMessage) {
    const std::string window = "Hello\r\nWorld\r\n";
    const std::string expected = VBEncrypt::SecureMessage(window, kPassword) + "\n";
    for (const std::string typed : {"Hello\nWorld\n", "Hello\r\nWorld\r\n"}) {
        const auto r = Run({"secure-text", "--password-file", Pw()}, typed);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(VBEncrypt::DeSecureMessage(r.out.substr(0, r.out.size() - 1), kPassword), window);
    }
}

TEST_F(Cli, FinalLineBreakIsPartOfTheMessage) {
    const auto with = Run({"secure-text", "--password-file", Pw()}, "note\n");
    const auto without = Run({"secure-text", "--password-file", Pw()}, "note");
    EXPECT_EQ(with.out, VBEncrypt::SecureMessage("note\r\n", kPassword) + "\n");
    EXPECT_EQ(without.out, VBEncrypt::SecureMessage("note", kPassword) + "\n");
}

TEST_F(Cli, DeSecureTextJoinsLinesAndPrintsTheMessageExactly) {
    const std::string secured = VBEncrypt::SecureMessage("first\r\nsecond", kPassword);
    std::string broken;
    for (std::size_t i = 0; i < secured.size(); i += 7) {
        broken += secured.substr(i, 7);
        broken += (i / 7) % 3 == 0 ? "\r\n" : (i / 7) % 3 == 1 ? "\n" : "\r";
    }
    const auto r = Run({"desecure-text", "--password-file", Pw()}, broken);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "first\nsecond");
}

TEST_F(Cli, TextRoundTripThroughPipes) {
    const std::vector<std::string> messages = {"x",
                                               "one line\n",
                                               "caf\xC3\xA9 costs 5 \xE2\x82\xAC\n\nbye",
                                               "  spaces at the end  ",
                                               "ERR",
                                               "ERR2",
                                               "VBError: not a failure"};
    for (const auto& m : messages) {
        WriteFile(dir / "message", m);
        const std::string cmd = "'" + kCli + "' secure-text --password-file '" + Pw() + "' < '" +
                                (dir / "message").string() + "' | '" + kCli +
                                "' desecure-text --password-file '" + Pw() + "'";
        const auto r = Shell(cmd);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, m);
    }
}

TEST_F(Cli, InputFromAFile) {
    WriteFile(dir / "message", "from a file\n");
    auto r = Run({"secure-text", "--password-file", Pw(), "-i", (dir / "message").string()},
                 "ignored standard input");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, VBEncrypt::SecureMessage("from a file\r\n", kPassword) + "\n");
    WriteFile(dir / "secured", r.out);
    r = Run({"desecure-text", "--password-file", Pw(), "--input=" + (dir / "secured").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "from a file\n");
    r = Run({"secure-text", "--password-file", Pw(), "-i", (dir / "none").string()});
    EXPECT_EQ(r.status, 1);
}

TEST_F(Cli, NonAsciiTextUsesTheWindowsCodes) {
    // "é" and "€" are one code each: 0xE9 and 0x80.
    const auto r = Run({"secure-text", "--password-file", Pw()}, "caf\xC3\xA9 \xE2\x82\xAC"
                                                                 "5\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, VBEncrypt::SecureMessage("caf\xE9 \x80"
                                              "5\r\n",
                                              kPassword) +
                         "\n");
    const std::string secured = VBEncrypt::SecureMessage("\xE9\x80", kPassword);
    const auto back = Run({"desecure-text", "--password-file", Pw()}, secured);
    EXPECT_EQ(back.out, "\xC3\xA9\xE2\x82\xAC");
}

TEST_F(Cli, CharacterOutsideTheCodePageIsNamed) {
    const auto r = Run({"secure-text", "--password-file", Pw()}, "let it snow \xE2\x98\x83\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(StartsWith(r.err, "hushnote-cli: ")) << r.err;
    EXPECT_NE(r.err.find("\xE2\x98\x83"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("U+2603"), std::string::npos) << r.err;
}

TEST_F(Cli, InvalidUtf8IsRefused) {
    const auto r = Run({"secure-text", "--password-file", Pw()}, "caf\xE9\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("UTF-8"), std::string::npos) << r.err;
}

TEST_F(Cli, NotSecuredTextExitsWithOne) {
    for (const std::string text : {"ab", "hello", "????", "\n\n", "ab\r\ncd\n"}) {
        const auto r = Run({"desecure-text", "--password-file", Pw()}, text);
        EXPECT_EQ(r.status, 1) << text;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "hushnote-cli: not secured text\n");
    }
}

TEST_F(Cli, BodyThatDoesNotDecodeIsNotSecuredText) {
    // A sound header followed by a character no secured text holds: the
    // decoder gives nothing, which must not pass for an empty message.
    const std::string secured = VBEncrypt::SecureMessage("hello", kPassword);
    const auto r = Run({"desecure-text", "--password-file", Pw()},
                       secured.substr(0, 8) + "\xC3\xA9" + secured.substr(9));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "hushnote-cli: not secured text\n");
}

TEST_F(Cli, EmptyMessageIsRefused) {
    auto r = Run({"secure-text", "--password-file", Pw()}, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("No message to secure."), std::string::npos);
    r = Run({"desecure-text", "--password-file", Pw()}, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("No message to de-secure."), std::string::npos);
}

TEST_F(Cli, MessageLimitIsCountedAfterLineBreaksBecomeCrLf) {
    const auto secure = [&](const std::string& m) {
        return Run({"secure-text", "--password-file", Pw()}, m);
    };
    EXPECT_EQ(secure(std::string(20000, 'x')).status, 0);
    EXPECT_EQ(secure(std::string(19998, 'x') + "\n").status, 0);
    auto r = secure(std::string(19999, 'x') + "\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "hushnote-cli: Message limit is 20,000 characters.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(secure(std::string(20001, 'x')).status, 2);
    // Characters, not UTF-8 bytes: 20,000 euro signs are 60,000 bytes.
    std::string euros;
    for (int i = 0; i < 20000; ++i) {
        euros += "\xE2\x82\xAC";
    }
    r = secure(euros);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(secure(euros + "\xE2\x82\xAC").status, 2);
}

TEST_F(Cli, WriteFailureOnStandardOutputIsReported) {
    const auto r =
        Shell("echo hello | '" + kCli + "' secure-text --password-file '" + Pw() + "' > /dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
}

// ---- Files

TEST_F(Cli, FileRoundTripsInBothModesAndAcrossThem) {
    std::mt19937 rng(20260);
    for (std::size_t size : {0u, 1u, 2u, 3u, 4094u, 4095u, 4096u, 8191u, 10000u, 100000u}) {
        SCOPED_TRACE(size);
        const std::string plain = test::RandomBytes(rng, size);
        WriteFile(dir / "plain", plain);
        std::string securedBy[2];
        const char* modes[2] = {"library", "builtin"};
        for (int m = 0; m < 2; ++m) {
            const fs::path out = dir / (std::string("secured-") + modes[m]);
            const auto r = Run({"secure-file", "--mode", modes[m], "--password-file", Pw(),
                                (dir / "plain").string(), out.string()});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "");
            securedBy[m] = ReadFile(out);
            for (int d = 0; d < 2; ++d) {
                const fs::path back = dir / "back";
                const auto r2 = Run({"desecure-file", "--mode=" + std::string(modes[d]),
                                     "--password-file", Pw(), out.string(), back.string()});
                ASSERT_EQ(r2.status, 0) << r2.err;
                EXPECT_EQ(ReadFile(back), plain) << modes[m] << " -> " << modes[d];
                fs::remove(back);
            }
        }
        // The built-in code writes exactly the window's secured text; the
        // library may differ only in the fill of the last group.
        if (size == 0) {
            EXPECT_EQ(securedBy[1], "????????");
        } else {
            EXPECT_EQ(securedBy[1], VBEncrypt::SecureMessage(plain, kPassword));
        }
        ASSERT_EQ(securedBy[0].size(), securedBy[1].size());
        const std::size_t exact = size % 3 == 0 ? securedBy[0].size() : securedBy[0].size() - 4;
        EXPECT_EQ(securedBy[0].substr(0, exact), securedBy[1].substr(0, exact));
    }
}

TEST_F(Cli, DefaultModeUsesTheLibraryBesideTheProgram) {
    const std::string plain(5000, 'a');
    WriteFile(dir / "plain", plain);
    const auto r = Run({"secure-file", "--password-file", Pw(), (dir / "plain").string(),
                        (dir / "secured").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto r2 = Run({"desecure-file", "--mode", "builtin", "--password-file", Pw(),
                         (dir / "secured").string(), (dir / "back").string()});
    ASSERT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(ReadFile(dir / "back"), plain);
}

TEST_F(Cli, SecuredTextAndSecuredFileAreOneFormat) {
    // A message secured by secure-text de-secures as a file, and back.
    const auto r = Run({"secure-text", "--password-file", Pw()}, "a note\n");
    WriteFile(dir / "secured", r.out.substr(0, r.out.size() - 1));
    const auto r2 = Run({"desecure-file", "--password-file", Pw(), (dir / "secured").string(),
                         (dir / "back").string()});
    ASSERT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(ReadFile(dir / "back"), "a note\r\n");
}

TEST_F(Cli, NotASecuredFileWritesNothing) {
    WriteFile(dir / "junk", "ab");
    WriteFile(dir / "existing", "keep me");
    auto r = Run({"desecure-file", "--password-file", Pw(), (dir / "junk").string(),
                  (dir / "out").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a secured file"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
    r = Run({"desecure-file", "--password-file", Pw(), (dir / "junk").string(),
             (dir / "existing").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(dir / "existing"), "keep me");
}

TEST_F(Cli, MissingInputIsAFailureAndIsNotCreated) {
    auto r = Run({"secure-file", "--password-file", Pw(), (dir / "no-folder" / "in").string(),
                  (dir / "out").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(StartsWith(r.err, "hushnote-cli: ")) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
    r = Run(
        {"secure-file", "--password-file", Pw(), (dir / "typo").string(), (dir / "out").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir / "typo"));
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(Cli, OutputInAMissingFolderFails) {
    WriteFile(dir / "plain", "data");
    const auto r = Run({"secure-file", "--password-file", Pw(), (dir / "plain").string(),
                        (dir / "no-folder" / "out").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(StartsWith(r.err, "hushnote-cli: ")) << r.err;
    EXPECT_FALSE(fs::exists(dir / "no-folder"));
}

TEST_F(Cli, InputThatIsNotARegularFileIsRefused) {
    fs::create_directories(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const char* name : {"folder", "fifo"}) {
        const auto r = Run({"secure-file", "--password-file", Pw(), (dir / name).string(),
                            (dir / "out").string()});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
}

TEST_F(Cli, OutputNamingTheInputIsRefused) {
    WriteFile(dir / "plain", "precious");
    const auto r = Run({"secure-file", "--password-file", Pw(), (dir / "plain").string(),
                        (dir / "." / "plain").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(dir / "plain"), "precious");
}

TEST_F(Cli, OversizedInputFailsAndLeavesTheOldOutput) {
    WriteFile(dir / "existing", "old");
    {
        std::FILE* f = std::fopen((dir / "big").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fseek(f, 16777216 - 1, SEEK_SET);
        std::fputc(0, f);
        std::fclose(f);
    }
    const auto r = Run({"secure-file", "--mode", "builtin", "--password-file", Pw(),
                        (dir / "big").string(), (dir / "existing").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("16,777,215"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "existing"), "old");
}

TEST_F(Cli, InterruptStopsAndLeavesNothingBehind) {
    {
        std::mt19937 rng(3);
        WriteFile(dir / "plain", test::RandomBytes(rng, 16777215));
    }
    WriteFile(dir / "existing", "old");
    const std::size_t before = dir.Count();
    std::vector<std::string> all{kCli,
                                 "secure-file",
                                 "--mode",
                                 "builtin",
                                 "--password-file",
                                 Pw(),
                                 (dir / "plain").string(),
                                 (dir / "existing").string()};
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int n = open("/dev/null", O_RDWR);
        dup2(n, 0);
        dup2(n, 1);
        dup2(n, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    usleep(30000);
    kill(pid, SIGINT);
    int st = 0;
    waitpid(pid, &st, 0);
    if (WIFEXITED(st) && WEXITSTATUS(st) == 0) {
        GTEST_SKIP() << "finished before the interrupt arrived";
    }
    EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGINT);
    EXPECT_EQ(ReadFile(dir / "existing"), "old");
    EXPECT_EQ(dir.Count(), before); // no temporary file left
}

// ---- The library

TEST_F(Cli, LibraryModeWithoutTheLibraryFails) {
    const std::string lone = LoneCopy("alone");
    WriteFile(dir / "plain", "some data");
    const auto r = RunProgram(lone, {"secure-file", "--mode", "library", "--password-file", Pw(),
                                     (dir / "plain").string(), (dir / "out").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("library"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));

    // The default falls back to the built-in code without a word.
    for (const char* mode : {"auto", "builtin"}) {
        const auto r2 = RunProgram(lone, {"secure-file", "--mode", mode, "--password-file", Pw(),
                                          (dir / "plain").string(), (dir / "out").string()});
        EXPECT_EQ(r2.status, 0) << r2.err;
        EXPECT_EQ(r2.err, "");
        EXPECT_EQ(ReadFile(dir / "out"), VBEncrypt::SecureMessage("some data", kPassword));
    }
}

TEST_F(Cli, LibraryInTheWorkingFolderIsNeverLoaded) {
    // A library planted where the user works must not be picked up.
    const std::string lone = LoneCopy("alone");
    const fs::path planted = dir / "work";
    fs::create_directories(planted);
    fs::copy_file(fs::path(kCli).parent_path() / "libfncryptlib.so", planted / "libfncryptlib.so");
    WriteFile(planted / "plain", "x");
    const std::string script = "cd '" + planted.string() + "' && LD_LIBRARY_PATH=. '" + lone +
                               "' secure-file --mode library --password-file '" + Pw() +
                               "' plain out";
    const auto r = Shell(script);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(fs::exists(planted / "out"));
}

#ifdef HUSHNOTE_BROKEN_LIBRARY
TEST_F(Cli, BrokenLibraryIsReportedAndTheBuiltInCodeTakesOver) {
    const std::string lone = LoneCopy("broken");
    fs::copy_file(HUSHNOTE_BROKEN_LIBRARY, dir / "broken" / "libfncryptlib.so");
    WriteFile(dir / "plain", "some data");
    auto r = RunProgram(lone, {"secure-file", "--password-file", Pw(), (dir / "plain").string(),
                               (dir / "out").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Error #453"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "out"), VBEncrypt::SecureMessage("some data", kPassword));
    r = RunProgram(lone, {"secure-file", "--mode", "library", "--password-file", Pw(),
                          (dir / "plain").string(), (dir / "out2").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir / "out2"));
}
#endif

// ---- Progress

TEST_F(Cli, NoProgressWhenStandardErrorIsNotATerminal) {
    std::mt19937 rng(7);
    WriteFile(dir / "plain", test::RandomBytes(rng, 200000));
    for (const char* mode : {"library", "builtin"}) {
        auto r = Run({"secure-file", "--mode", mode, "--password-file", Pw(),
                      (dir / "plain").string(), (dir / "secured").string()});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        r = Run({"desecure-file", "--mode", mode, "--password-file", Pw(),
                 (dir / "secured").string(), (dir / "back").string()});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Cli, ProgressBarOnATerminal) {
    WriteFile(dir / "plain", std::string(100000, 'z'));
    int status = -1;
    const std::string seen =
        StderrOnTerminal({"secure-file", "--password-file", Pw(), (dir / "plain").string(),
                          (dir / "secured").string()},
                         status);
    EXPECT_EQ(status, 0) << seen;
    EXPECT_NE(seen.find("100%"), std::string::npos) << seen;
    EXPECT_NE(seen.find("100,000 / 100,000 bytes"), std::string::npos) << seen;
    EXPECT_NE(seen.find("  0%"), std::string::npos) << seen;
}

} // namespace
} // namespace hushnote
