#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>

// Reading the input and writing the output of a file operation so that a
// failure loses nothing and nothing blocks: the input is opened once and only
// that handle is read; the output goes to a private temporary file beside its
// target, without a name where the file system allows, and takes the target's
// name only when everything was written. An output that cannot be replaced (a
// pipe, a device, standard output) is written in place instead.
namespace hushnote::fileio {

class ReadAhead;
class WriteBehind;

// How an output that is a pipe waits for its reader to take more: wait(fd)
// returns when the pipe takes more (true) or the user gave up (false: the
// operation is cancelled).
using PipeWait = std::function<bool(int fd)>;

// How one output is written.
struct OutputOptions {
    // Empty (the command line): writing to a full pipe blocks until a signal
    // interrupts it. Set (the window): a full pipe waits through it, so the
    // user can still give up. A pipe that no program reads is refused at
    // once either way.
    PipeWait pipeWait;
    // The named temporary file, as on a file system without O_TMPFILE: tests
    // reach that path on any file system.
    bool namedTemporary = false;
};

// What an input is opened for; each sets how much of it may be taken.
enum class Purpose {
    Secure,   // at most 16,777,215 bytes: the header cannot describe more
    DeSecure, // any size on disk; at most 64 MiB from a file that reports none
    Load,     // a dropped file, as text for the message box
};

enum class IfMissing { Fail, Create };

// Why a folder given as the file to read or write is refused: "NAME" is a
// folder, not a file.
std::string FolderNotFile(const std::filesystem::path& path);

// The input of one operation. It is opened without blocking, so a pipe or a
// device is refused at once instead of freezing the program, and every check
// and read goes through the one descriptor, so a file renamed or replaced
// after the check is never the file read. From the first Read on, a second
// thread reads ahead.
class InputFile {
public:
    // Throws Failure: 53 missing (unless created, which only the window does
    // after its open dialog asked), 75 not a regular file or unreadable, 5
    // larger than purpose allows.
    InputFile(const std::filesystem::path& path, Purpose purpose,
              IfMissing ifMissing = IfMissing::Fail);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The length to work to: the size the file system reports or, for a file
    // that reports 0 but holds data (as /proc files do), what it held when
    // it was read into memory at opening.
    std::int64_t size() const { return size_; }
    // Reads up to n bytes; fewer only at the end of the data.
    std::size_t Read(char* buffer, std::size_t n);
    // Once size() bytes were read: throws Failure 75 unless the data ends
    // there and the file was not modified, renamed or removed meanwhile.
    void CheckUnchanged();
    bool IsFile(const struct stat& other) const;

    [[noreturn]] void ThrowChanged() const;

private:
    std::filesystem::path path_;
    int fd_ = -1;
    std::unique_ptr<ReadAhead> readAhead_;
    struct stat opened_ = {};
    timespec readFrom_{}; // the change time when reading began
    std::int64_t size_ = 0;
    std::string memory_; // the whole data of a file that reports no size
    std::size_t memoryRead_ = 0;
    bool inMemory_ = false;
};

// Everything a dropped file holds, at most what Purpose::Load allows.
std::string ReadWholeFile(const std::filesystem::path& path);
// Everything in holds from where its reading stands, through its one
// descriptor: for a caller that checks the opened file before it reads.
std::string ReadWholeFile(InputFile& in);

// The output of one operation. Refuses an empty path, a path that names the
// input file (also through a link or another spelling), a link to a missing
// file, a file the user may not write or that has other names (hard links),
// a file in a folder the user may not write, and a file whose owner, group,
// ACL or extended attributes cannot be kept.
// - A regular file, new or existing, is written to a file without a name in
//   the target's folder (O_TMPFILE), so that nothing is left behind whatever
//   ends the program; once written and synced it gets a name and replaces the
//   target, with the target's permissions, owner, group, ACL and extended
//   attributes (file capabilities excepted, as set-user-ID is). Where the file
//   system has no such files, a named temporary file that only the user can
//   read stands in. A link is followed: its target is replaced, the link
//   stays. Names are taken relative to the folder, so any name the user's own
//   path may have fits.
// - A path that names one of the program's own descriptors (/dev/stdout,
//   /proc/self/fd/1 in any spelling, or the same open file as standard
//   output) is written to that open descriptor itself: reopening would
//   truncate a file opened for appending.
// - Any other existing output that is not a regular file (a device, a pipe)
//   is written in place, never replaced. A pipe that no program reads is
//   refused.
// What is written in place cannot be taken back: a failure part-way says so.
// A temporary file is written on a second thread while the caller works on.
class OutputFile {
public:
    OutputFile(const std::filesystem::path& path, const InputFile& input,
               OutputOptions options = {});
    ~OutputFile(); // not committed: nothing of it remains
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::string_view data);
    // Lets fill write up to most bytes (at most 64 KiB) straight into the
    // output's buffer; fill returns how many it wrote.
    void WriteWith(std::size_t most, const std::function<std::size_t(char*)>& fill);
    // Flushes everything and moves the result over the target's name.
    void Commit();
    // Whether part of an output written in place has gone out already: it
    // stays there whatever happens next.
    bool WroteInPlace() const { return wroteInPlace_; }

private:
    void Open(const InputFile& input);
    void Abandon(); // closes everything; removes the temporary file unless committed
    void OpenInPlace();
    void OpenReplacement(const struct stat* old);
    void CreateTemporary();
    void GiveName();
    [[noreturn]] void ThrowWriteError(int err) const;
    void WritePending();

    std::filesystem::path path_; // what the user named
    int dirFd_ = -1;             // the target's folder; -1 when writing in place
    std::string name_;           // the target's name in it
    std::string tempName_;       // the temporary file's name, while it has one
    bool unnamed_ = false;       // written through O_TMPFILE
    bool nonBlocking_ = false;   // a pipe that waits through options_.pipeWait
    mode_t finalMode_ = 0600;
    int fd_ = -1;
    std::unique_ptr<WriteBehind> writeBehind_; // only for a temporary file
    std::string pending_; // otherwise what waits to be written, in few large writes
    bool committed_ = false;
    bool wroteInPlace_ = false;
    OutputOptions options_;
};

// The Failure of an operation the user stopped: a signal, Close, or a
// pipe given up on.
[[noreturn]] void ThrowCancelled();

// A Failure for the errno of a failed file operation on path.
[[noreturn]] void ThrowFileError(int err, const std::filesystem::path& path, bool writing);

} // namespace hushnote::fileio
