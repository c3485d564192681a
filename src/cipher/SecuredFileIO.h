#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

// Reading the input and writing the output of a file operation so that a
// failure loses nothing: the output goes to a temporary file beside its
// target and replaces the target only when everything was written.
namespace hushnote::fileio {

// Opens path for reading as raw bytes through a large buffer. A missing file
// is created empty first (the open dialog asked the user about it).
class InputFile {
public:
    explicit InputFile(const std::filesystem::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::int64_t size() const { return size_; }
    // Reads up to n bytes; fewer only at the end of the file.
    std::size_t Read(char* buffer, std::size_t n);

private:
    std::filesystem::path path_;
    std::unique_ptr<char[]> buffer_;
    std::FILE* file_ = nullptr;
    std::int64_t size_ = 0;
};

// The output of one operation. Refuses a path that names the input file
// (also through a link or another spelling). A link is followed: the file it
// points to is replaced and the link stays. An existing output that is not a
// regular file (a device, a pipe) is written in place, never replaced.
class OutputFile {
public:
    OutputFile(const std::filesystem::path& path, const std::filesystem::path& input);
    ~OutputFile(); // not committed: the temporary file is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::string_view data);
    // Flushes everything and moves the result over the target's name.
    void Commit();

private:
    std::filesystem::path path_;   // what the user named
    std::filesystem::path target_; // the file that ends up holding the result
    std::filesystem::path temp_;   // empty when writing in place
    std::unique_ptr<char[]> buffer_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// A Failure for the errno of a failed file operation on path.
[[noreturn]] void ThrowFileError(int err, const std::filesystem::path& path, bool writing);

} // namespace hushnote::fileio
