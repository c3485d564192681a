// Secured files in both modes: pieces, progress, and what a real system hands
// over. Inputs that are not plain files or change while they are read,
// outputs that are links, devices, streams or full disks, and secured files
// that a mail program wrapped or cut. A failure leaves everything as it was.
#include "engine/VBEncrypt.h"
#include "fileio/SecuredFileIO.h"
#include "support/test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <regex>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace hushnote {
namespace {

namespace fs = std::filesystem;
using namespace test;
using ::testing::HasSubstr;

constexpr auto kLibrary = CipherMode::Library;
constexpr auto kBuiltIn = CipherMode::BuiltIn;
constexpr CipherMode kBothModes[] = {kLibrary, kBuiltIn};

// A cipher object in the given mode, whatever the library would say.
ErrorValue Secure(CipherMode mode, const fs::path& in, const fs::path& out,
                  CipherEvents* events = nullptr) {
    CCipher c(events);
    c.ChooseMode(mode == kLibrary ? ModeChoice::Library : ModeChoice::BuiltIn);
    return FailureOf([&] { c.SecureFile(in, out, "pw"); });
}
DeSecureResult DeSecure(CipherMode mode, const fs::path& in, const fs::path& out,
                        CipherEvents* events = nullptr) {
    CCipher c(events);
    c.ChooseMode(mode == kLibrary ? ModeChoice::Library : ModeChoice::BuiltIn);
    return c.DeSecureFile(in, out, "pw");
}

// Type and permissions, links followed; 0 when there is nothing.
mode_t ModeOf(const fs::path& p) {
    struct stat st = {};
    ::stat(p.c_str(), &st);
    return st.st_mode;
}

// What replacing a file must keep: type, permissions, owner, group, link
// count, and every extended attribute with its value, the ACL among them;
// empty when there is nothing.
std::string Metadata(const fs::path& p) {
    struct stat st = {};
    if (::stat(p.c_str(), &st) != 0) {
        return "";
    }
    std::string m = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + ":" +
                    std::to_string(st.st_gid) + " links " + std::to_string(st.st_nlink);
    char names[4096], value[4096];
    const ssize_t n = ::listxattr(p.c_str(), names, sizeof names);
    for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        const ssize_t v = ::getxattr(p.c_str(), names + at, value, sizeof value);
        m += std::string(" ") + (names + at) + "=" + std::string(value, std::max<ssize_t>(v, 0));
    }
    return m;
}

// Piece boundaries (4095 bytes) in both engines, each file read by the other.
TEST(SecuredFile, EnginesWriteTheSameFilesAndReadEachOthers) {
    TempDir dir;
    std::mt19937 rng(9);
    for (std::size_t n : {0u, 1u, 2u, 3u, 4094u, 4095u, 4096u, 8190u, 8191u, 100000u}) {
        const std::string plain = RandomBytes(rng, n);
        WriteFile(dir / "plain", plain);
        for (auto mode : kBothModes) {
            ASSERT_EQ(Secure(mode, dir / "plain", dir / "sec").number, 0);
            ASSERT_EQ(ReadFile(dir / "sec"),
                      n == 0 ? "????????" : VBEncrypt::SecureMessage(plain, "pw"));
            DeSecure(mode == kLibrary ? kBuiltIn : kLibrary, dir / "sec", dir / "back");
            ASSERT_EQ(ReadFile(dir / "back"), plain) << n;
        }
    }
}

TEST(SecuredFile, ProgressBeforeEachPiece) {
    TempDir dir;
    WriteFile(dir / "in", std::string(10000, 'x'));
    for (auto mode : kBothModes) {
        Events events, back;
        Secure(mode, dir / "in", dir / "out", &events);
        EXPECT_THAT(events.progress, ::testing::ElementsAre(10000, 5905, 1810));
        DeSecure(mode, dir / "out", dir / "plain", &back);
        EXPECT_THAT(back.progress, ::testing::ElementsAre(13336, 7876, 2416));
    }
}

// Each fault leaves the input, the output and the folder as they were; one
// byte less than the first input refused still fits.
TEST(SecuredFileFaults, LeaveEverythingAsItWas) {
    TempDir dir;
    const std::string data(300000, 'i');
    WriteFile(dir / "in", data);
    fs::create_directory(dir / "sub");
    fs::create_directory(dir / "small");
    fs::create_symlink(dir / "in", dir / "link");
    WriteFile(dir / "big", "");
    fs::resize_file(dir / "big", VBEncrypt::kMaxLength + 1);
    // Our own node of the full device, and a small disk of our own where the
    // machine allows it (root, and a system that permits mounting).
    const bool device = ::mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const bool small = ::mount("hushnote", (dir / "small").c_str(), "tmpfs", 0, "size=128k") == 0;
    WriteFile(dir / "out", "old content");
    WriteFile(dir / "small" / "out", "old content");
    Events stopper;
    stopper.stopAfter = 1;
    // clang-format off
    struct Case { fs::path in, out; int error; bool runs = true; Events* events = nullptr; const char* says = ""; };
    const Case cases[] = {
        {.in = dir / "in", .out = dir / "in", .error = kErrPathAccess},
        {.in = dir / "in", .out = dir / "sub" / ".." / "in", .error = kErrPathAccess},
        {.in = dir / "in", .out = dir / "link", .error = kErrPathAccess},
        {.in = dir / "in", .out = dir / "no" / "x", .error = kErrPathAccess},
        {.in = dir / "in", .out = dir / "in" / "out", .error = kErrPathAccess},
        {.in = dir.path(), .out = dir / "out", .error = kErrPathAccess},
        {.in = dir / "big", .out = dir / "out", .error = kErrInvalidArgument, .says = "is 16,777,216 bytes long; a secured file holds at most 16,777,215 bytes."},
        {.in = dir / "in", .out = dir / "out", .error = kErrCancelled, .events = &stopper},
        {.in = dir / "in", .out = dir / "full", .error = kErrDiskFull, .runs = device},
        {.in = dir / "in", .out = dir / "small" / "out", .error = kErrDiskFull, .runs = small},
    };
    // clang-format on
    for (auto mode : kBothModes) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.out.string() + " mode " + std::to_string(static_cast<int>(mode)));
            const std::string before = S_ISCHR(ModeOf(c.out)) ? "" : ReadFile(c.out);
            stopper.progress.clear();
            const ErrorValue e =
                c.runs ? Secure(mode, c.in, c.out, c.events) : ErrorValue{c.error, ""};
            EXPECT_EQ(e.number, c.error);
            EXPECT_THAT(e.description, HasSubstr(c.says));
            EXPECT_EQ(ReadFile(dir / "in"), data);
            EXPECT_EQ(S_ISCHR(ModeOf(c.out)) ? "" : ReadFile(c.out), before);
            EXPECT_EQ(TemporaryIn(dir.path()), fs::path());
            EXPECT_EQ(stopper.progress.size(), c.events ? 2u : 0u) << "stops at the second piece";
        }
    }
    EXPECT_TRUE(!device || S_ISCHR(ModeOf(dir / "full"))) << "the device was replaced by a file";
    fs::resize_file(dir / "big", VBEncrypt::kMaxLength);
    for (auto mode : kBothModes) {
        ASSERT_EQ(Secure(mode, dir / "big", dir / "out").number, 0);
        EXPECT_EQ(fs::file_size(dir / "out"), 8u + 4u * (VBEncrypt::kMaxLength / 3));
    }
    if (small) {
        ::umount2((dir / "small").c_str(), MNT_DETACH);
    }
    if (!device || !small) {
        GTEST_SKIP() << "cannot make devices or mount here: some cases did not run";
    }
}

// A write that fails part-way (here a file size limit) leaves the old output
// and no temporary file, also the named one that stands in where O_TMPFILE
// is refused: nothing else would ever remove it.
TEST(SecuredFileFaults, AFailedWriteLeavesNoTemporaryFile) {
    TempDir dir;
    WriteFile(dir / "in", std::string(300000, 'i'));
    WriteFile(dir / "out", "old content");
    rlimit unlimited{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit small = unlimited;
    small.rlim_cur = 100000;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN); // EFBIG, not the end of the tests
    for (const bool named : {false, true}) {
        Events events;
        events.outputOptions.namedTemporary = named;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const ErrorValue e = Secure(kBuiltIn, dir / "in", dir / "out", &events);
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_THAT(e.description, HasSubstr("File too large")) << named;
        EXPECT_EQ(ReadFile(dir / "out"), "old content") << named;
        EXPECT_EQ(TemporaryIn(dir.path()), fs::path()) << named;
    }
    std::signal(SIGXFSZ, previous);
}

// Each kind of input is secured whole or refused at once with nothing written.
// A missing one is created empty: the window's open dialog asked the user
// before it offered a new name; a dangling link is not followed.
TEST(SecuredFileInput, EachKindIsSecuredWholeOrRefusedAtOnce) {
    TempDir dir;
    const std::string data(20000, 'i');
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    ASSERT_EQ(fs::file_size("/proc/version"), 0u) << "the kernel now reports a size";
    const fs::path in = dir / "in", control = dir / "no\n\x1b[2J\xe2\x80\xae\xff" / "such";
    const auto rewrite = [&] { WriteFile(in, std::string(20000, 'j')); };
    // The modification time put back, as a write within one clock tick
    // leaves it or as anyone may set it; only the size or the change time tells.
    const auto keepingTime = [&](std::function<void()> change) {
        return [&, change] {
            struct stat st = {};
            ::stat(in.c_str(), &st);
            change();
            const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
            ::utimensat(AT_FDCWD, in.c_str(), times, 0);
        };
    };
    const char* changed = "changed while it was read";
    // midWay is done at the second progress report, once reading began; error 0: secured, and
    // read back as it was.
    // clang-format off
    struct Case { const char* name; fs::path in; std::function<void()> midWay{}; int error = 0; const char* says = ""; };
    const Case cases[] = {
        {.name = "grows", .in = in, .midWay = keepingTime([&] { std::ofstream(in, std::ios::app) << "more"; }), .error = kErrPathAccess, .says = changed},
        {.name = "shrinks", .in = in, .midWay = [&] { fs::resize_file(in, 5000); }, .error = kErrPathAccess, .says = changed},
        {.name = "rewritten", .in = in, .midWay = rewrite, .error = kErrPathAccess, .says = changed},
        {.name = "rewritten, its time put back", .in = in, .midWay = keepingTime(rewrite), .error = kErrPathAccess, .says = changed},
        // Its change time moves as a rewrite's does.
        {.name = "removed", .in = in, .midWay = [&] { fs::remove(in); }, .error = kErrPathAccess, .says = changed},
        {.name = "reports no size: read to its end", .in = "/proc/version"},
        {.name = "unreadable", .in = "/proc/self/mem", .error = kErrPathAccess, .says = "Input/output error"},
        {.name = "missing", .in = dir / "new"},
        {.name = "dangling link", .in = dir / "dangling", .error = kErrFileNotFound, .says = "not found"},
        {.name = "pipe", .in = dir / "fifo", .error = kErrPathAccess, .says = "not a regular file"},
        {.name = "a /sys file: made up as it is read", .in = "/sys/class/net/lo/address", .error = kErrPathAccess, .says = "cannot be read as a regular file"},
        {.name = "device", .in = "/dev/zero", .error = kErrPathAccess, .says = "not a regular file"},
        {.name = "folder", .in = dir / "folder", .error = kErrPathAccess, .says = "is a folder"},
        {.name = "control characters, bidi and not UTF-8", .in = control, .error = kErrFileNotFound, .says = "no\\n\\x1b[2J\\u202e\\xff/such"},
    };
    // clang-format on
    for (auto mode : kBothModes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(static_cast<int>(mode)));
            WriteFile(in, data);
            WriteFile(dir / "out", "old content");
            const std::string before = c.error == 0 ? ReadFile(c.in) : ""; // never a pipe
            Events events;
            events.atFirstReport = [&] { events.atFirstReport = c.midWay; };
            // A pipe opened the blocking way waits for a writer for ever.
            auto run = std::async(std::launch::async,
                                  [&] { return Secure(mode, c.in, dir / "out", &events); });
            if (run.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
                ADD_FAILURE() << "blocked";
                ::close(::open((dir / "fifo").c_str(), O_WRONLY | O_NONBLOCK));
            }
            const ErrorValue e = run.get();
            EXPECT_EQ(e.number, c.error) << e.description;
            EXPECT_THAT(e.description, HasSubstr(c.says));
            if (c.error == 0) {
                DeSecure(mode, dir / "out", dir / "back");
            }
            EXPECT_EQ(ReadFile(c.error == 0 ? dir / "back" : dir / "out"),
                      c.error == 0 ? before : "old content");
            EXPECT_EQ(TemporaryIn(dir.path()), fs::path());
        }
    }
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(FailureOf([&] { fileio::InputFile(dir / "none", fileio::Purpose::Secure); }).number,
              kErrFileNotFound);
}

// The temporary file is private until it is written, then takes the final
// mode. Links are followed, devices and descriptors written in place, and any
// legal name is taken.
TEST(SecuredFileOutput, ModesLinksDevicesDescriptorsAndTheLongestName) {
    TempDir dir;
    WriteFile(dir / "big", std::string(20000, 'i'));
    WriteFile(dir / "shared", "old");
    fs::permissions(dir / "shared", static_cast<fs::perms>(04754));
    // An ACL that the mode's group bits already cover: the copy is private all
    // the same. Where the file system takes none, the plain mode is checked.
    [[maybe_unused]] const int acl =
        std::system(("setfacl -m u:65534:r " + (dir / "shared").string()).c_str());
    const mode_t umask = ::umask(027);
    for (const bool named : {false, true}) {
        for (const auto& [out, final] : {std::pair{"new", 0640u}, {"shared", 0754u}}) {
            SCOPED_TRACE(std::string(out) + (named ? ", named" : ", unnamed"));
            mode_t seen = 0;
            Events peek;
            peek.outputOptions.namedTemporary = named; // as where O_TMPFILE is missing
            fs::path temporary;
            peek.atFirstReport = [&] {
                temporary = TemporaryIn(dir.path());
                seen = ModeOf(temporary);
            };
            ASSERT_EQ(Secure(kLibrary, dir / "big", dir / out, &peek).number, 0);
            EXPECT_EQ(temporary.parent_path() == dir.path(), named) << temporary;
            EXPECT_EQ(seen & 07777, 0600u) << "others could read the file while it was written";
            EXPECT_EQ(ModeOf(dir / out) & 07777, final) << "no set-user-ID carried over";
            EXPECT_EQ(TemporaryIn(dir.path()), fs::path());
        }
    }
    ::umask(umask);

    WriteFile(dir / "in", "data");
    const std::string secured = VBEncrypt::SecureMessage("data", "pw");
    const std::string longest(255, 'n');
    ASSERT_EQ(Secure(kBuiltIn, dir / "in", dir / longest).number, 0);
    EXPECT_EQ(ReadFile(dir / longest), secured);
    fs::remove(dir / longest);

    // A link is followed: the file it names is replaced, the link stays.
    WriteFile(dir / "target", std::string(5000, 'z'));
    fs::create_symlink(dir / "target", dir / "link");
    Secure(kBuiltIn, dir / "in", dir / "link");
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "target"), secured);

    // As "secure-file in /dev/stdout >> log" hands it over: appended to, never
    // replaced, and the descriptor stays open.
    WriteFile(dir / "log", "earlier\n");
    const int fd = ::open((dir / "log").c_str(), O_WRONLY | O_APPEND);
    for (const char* name : {"/dev/fd/", "/proc/self/fd/"}) {
        ASSERT_EQ(Secure(kLibrary, dir / "in", name + std::to_string(fd)).number, 0);
    }
    EXPECT_EQ(ReadFile(dir / "log"), "earlier\n" + secured + secured);
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    ::close(fd);

    // The descriptor of the input itself is refused before it is written.
    const int in = ::open((dir / "in").c_str(), O_RDWR);
    EXPECT_EQ(Secure(kBuiltIn, dir / "in", "/dev/fd/" + std::to_string(in)).number, kErrPathAccess);
    ::close(in);
    EXPECT_EQ(ReadFile(dir / "in"), "data");

    // A stream cannot be taken back: the failure says what stays.
    const int full = ::open("/dev/full", O_WRONLY);
    const ErrorValue e = Secure(kBuiltIn, dir / "in", "/dev/fd/" + std::to_string(full));
    ::close(full);
    EXPECT_EQ(e.number, kErrDiskFull);
    EXPECT_THAT(e.description, HasSubstr("stays there"));
    EXPECT_EQ(dir.Count(), 7u);

    // A pipe that a program reads is written in place, blocking or not.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(Secure(kBuiltIn, dir / "in", dir / "fifo").number, 0);
    char got[64] = {};
    EXPECT_EQ(std::string(got, std::max<ssize_t>(::read(reader, got, sizeof got), 0)), secured);
    ::close(reader);

    // A link to a device (our own null device node) is written in place.
    if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make device nodes here";
    }
    fs::create_symlink(dir / "null", dir / "stdout");
    EXPECT_EQ(Secure(kLibrary, dir / "in", dir / "stdout").number, 0);
    EXPECT_TRUE(S_ISCHR(ModeOf(dir / "null")));
    EXPECT_TRUE(fs::is_symlink(dir / "stdout"));
}

// An existing output is replaced only where the shell's ">" or cp would
// write it, and keeps its owner, group, mode, ACL and extended attributes; a
// link to a missing file is refused, and so is what replacing could not
// keep: other names (hard links), a folder to make the new file in, an
// attribute the user may not set. Cases as another user run with nobody's
// rights (a group of the owner's own when none is named), and any path the
// kernel takes is taken, however little room it leaves beside the name.
TEST(SecuredFileOutput, WhatMayBeReplacedKeepsItsOwner) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    WriteFile(dir / "in", "data");
    fs::path deep = dir.path();
    while (deep.native().size() < 4095 - 20) {
        deep /= std::string(std::min<std::size_t>(254, 4095 - 20 - deep.native().size()), 'd');
    }
    fs::create_directories(deep);
    const std::string longest = (deep / std::string(4095 - deep.native().size() - 1, 'n')).native();
    constexpr uid_t kRoot = 0, kNobody = 65534;
    constexpr gid_t kOwners = gid_t(-1);
    // A set-group-ID folder gives a new file its group, which nobody is not in.
    fs::create_directory(dir / "shared");
    fs::permissions(dir / "shared", static_cast<fs::perms>(02777));
    fs::create_directory(dir / "closed");
    // A new file there would let nobody in, where the old one does not.
    fs::create_directory(dir / "inheriting");
    const std::string giving = "setfacl -d -m u:65534:rw " + (dir / "inheriting").string();
    // The file's group, which nobody is not in, may not read it; nobody may.
    const char* aclForNobody = "-m u:65534:rw,g::---,m::rw";
    // Lets the program open raw sockets, whatever it is.
    const std::string_view rawSockets("\0\0\0\2\0\x20\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20);
    // clang-format off
    struct Case { const char* name; fs::path out; uid_t owner = kRoot; gid_t group = kOwners; unsigned mode = 0644; uid_t as = kRoot; const char* says = "";
                  const char* acl = nullptr; const char* attribute = nullptr; std::string_view value = "kept"; bool dropped = false; bool linked = false; };
    const Case cases[] = {
        {.name = "root keeps another's owner", .out = dir / "theirs", .owner = kNobody},
        {.name = "root writes a protected file", .out = dir / "ro", .mode = 0444},
        {.name = "a user's own file", .out = dir / "mine", .owner = kNobody, .mode = 0600, .as = kNobody},
        {.name = "write-protected", .out = dir / "ro", .mode = 0444, .as = kNobody, .says = "ro\" is write-protected."},
        {.name = "another user's", .out = dir / "open", .mode = 0666, .as = kNobody, .says = "open\" belongs to another user."},
        {.name = "a user's own file of another group", .out = dir / "group", .owner = kNobody, .group = kRoot, .as = kNobody, .says = "group\" belongs to a group you are not in."},
        {.name = "a user's own file of the folder's group", .out = dir / "shared/mine", .owner = kNobody, .group = kRoot, .as = kNobody},
        {.name = "link to a missing file", .out = dir / "dangling", .says = "dangling\" is a link to a missing file."},
        {.name = "4,095 characters", .out = longest},
        {.name = "an ACL and a user attribute", .out = dir / "acl", .mode = 0640, .acl = aclForNobody, .attribute = "user.origin"},
        {.name = "a user's own with an ACL and a user attribute", .out = dir / "acl-mine", .owner = kNobody, .as = kNobody, .acl = aclForNobody, .attribute = "user.origin"},
        {.name = "a security attribute only root may set", .out = dir / "labelled", .owner = kNobody, .as = kNobody, .says = "labelled\" has access rules (ACL) that cannot be kept.", .attribute = "security.hushnote"},
        {.name = "hard links", .out = dir / "linked", .says = "linked\" has other names (hard links) that would keep the old contents.", .linked = true},
        {.name = "no ACL, in a folder that gives one", .out = dir / "inheriting/plain", .acl = "-b"},
        {.name = "a user's own with file capabilities: not for new contents", .out = dir / "program", .owner = kNobody, .mode = 0755, .as = kNobody, .attribute = "security.capability", .value = rawSockets, .dropped = true},
        {.name = "a user's own in a folder not theirs", .out = dir / "closed/mine", .owner = kNobody, .mode = 0600, .as = kNobody, .says = "closed/mine\" cannot be written, so the file cannot be replaced safely."},
    };
    // clang-format on
    fs::create_symlink("missing", dir / "dangling");
    std::string skipped = std::system(giving.c_str()) != 0 ? " a folder's default ACL;" : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const gid_t group = c.group == kOwners ? c.owner : c.group;
        if (c.out != dir / "dangling") {
            WriteFile(c.out, "old");
            ASSERT_EQ(::chown(c.out.c_str(), c.owner, group), 0);
            fs::permissions(c.out, static_cast<fs::perms>(c.mode));
        }
        if (c.linked) {
            fs::create_hard_link(c.out, c.out.string() + "-other");
        }
        const std::string unlabelled = Metadata(c.out);
        const std::string setfacl =
            "setfacl " + std::string(c.acl ? c.acl : "") + " " + c.out.string();
        if ((c.acl && std::system(setfacl.c_str()) != 0) ||
            (c.attribute &&
             ::setxattr(c.out.c_str(), c.attribute, c.value.data(), c.value.size(), 0) != 0)) {
            skipped += std::string(" ") + c.name + ";";
            continue;
        }
        const std::string before = c.dropped ? unlabelled : Metadata(c.out);
        ASSERT_TRUE(::setegid(c.as) == 0 && ::seteuid(c.as) == 0);
        const ErrorValue e = Secure(kBuiltIn, dir / "in", c.out);
        ASSERT_TRUE(::seteuid(kRoot) == 0 && ::setegid(kRoot) == 0);
        EXPECT_EQ(e.number, *c.says ? kErrPathAccess : 0) << e.description;
        EXPECT_THAT(e.description, HasSubstr(c.says));
        EXPECT_EQ(ReadFile(c.out), *c.says ? (c.out == dir / "dangling" ? "" : "old")
                                           : VBEncrypt::SecureMessage("data", "pw"));
        EXPECT_EQ(Metadata(c.out), before);
        EXPECT_FALSE(fs::exists(dir / "missing"));
        EXPECT_EQ(TemporaryIn(dir.path()), fs::path());
    }
    if (!skipped.empty()) {
        GTEST_SKIP() << "the file system here takes no ACL or extended attribute:" << skipped;
    }
}

// Secured files as they travel: wrapped, foreign or cut.
TEST(DamagedSecuredFile, WrappedReadsRightForeignIsRefusedCutIsRecoveredAndTold) {
    TempDir dir;
    const std::string plain =
        "The quick brown fox jumps over the lazy dog, again and again. 0123456789";
    const std::string secured = VBEncrypt::SecureMessage(plain, "pw");
    const auto wrapped = [](const char* lineEnd, const std::string& text) {
        return std::regex_replace(text, std::regex(".{76}"), "$&" + std::string(lineEnd));
    };
    // Line breaks split groups across the pieces of a longer file.
    const std::string longPlain(20000, 'L');
    using enum DeSecureOutcome;
    // written: when written at all; reason: why NotSecured.
    // clang-format off
    struct Case { const char* name; std::string file; DeSecureOutcome outcome = Done; std::string written{}, reason{};
                  std::int64_t recovered = 0; };
    const Case cases[] = {
        {.name = "wrapped with LF", .file = wrapped("\n", secured), .written = plain},
        {.name = "wrapped, several pieces", .file = wrapped("\n", VBEncrypt::SecureMessage(longPlain, "pw")), .written = longPlain},
        {.name = "cut", .file = secured.substr(0, 8 + 40), .outcome = Damaged, .written = plain.substr(0, 30), .recovered = 30},
        {.name = "more than the header gives", .file = VBEncrypt::EncodeLengthHeader(4) + secured.substr(8), .written = plain.substr(0, 4)},
        // Refused at once, though the header's characters before the byte read as a length.
        {.name = "foreign in a wrapped header", .file = secured.substr(0, 4) + "\r\n" + secured.substr(4, 2) + " " + secured.substr(7), .outcome = NotSecured, .reason = "byte 9 is 0x20"},
    };
    // clang-format on
    for (auto mode : kBothModes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(static_cast<int>(mode)));
            WriteFile(dir / "in", c.file);
            WriteFile(dir / "out", "old content");
            const DeSecureResult r = DeSecure(mode, dir / "in", dir / "out");
            EXPECT_EQ(r.outcome, c.outcome);
            EXPECT_EQ(ReadFile(dir / "out"), c.outcome == NotSecured ? "old content" : c.written);
            EXPECT_THAT(r.reason, HasSubstr(c.reason));
            EXPECT_EQ(r.expected, c.outcome == Damaged ? std::int64_t(plain.size()) : 0);
            EXPECT_EQ(r.recovered, c.recovered);
            EXPECT_EQ(dir.Count(), 2u);
        }
    }
}

} // namespace
} // namespace hushnote
