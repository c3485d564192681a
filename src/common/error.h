#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace hushnote {

// Error numbers are part of what the user sees ("Error #53") and what scripts
// may test, so each kind of failure keeps its number for good.
enum ErrorNumber : int {
    kErrInvalidArgument = 5,
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrLibraryLoad = 48,
    kErrFileNotFound = 53,
    kErrDiskFull = 61,
    kErrPathAccess = 75,
    kErrCancelled = 18, // "User interrupt occurred"
    kErrEntryPoint = 453,
    kErrTypeMismatch = 13,
    kErrInternal = 51,
};

// The description of kErrOutOfMemory, which every front end gives when an
// allocation fails, std::bad_alloc carrying no words of its own.
inline constexpr std::string_view kOutOfMemory = "Out of memory.";

// A failure: a number and a description. Operations that pass a failure on to
// their caller throw it as a Failure.
struct ErrorValue {
    int number = 0;
    std::string description;
};

class Failure : public std::runtime_error {
public:
    Failure(int number, std::string description)
        : std::runtime_error(description), error_{number, std::move(description)} {}

    int number() const noexcept { return error_.number; }
    const std::string& description() const noexcept { return error_.description; }
    const ErrorValue& error() const noexcept { return error_; }

private:
    ErrorValue error_;
};

// "Error #53" + separator + "File not found: ...": the text the program shows
// for a failure, the only place its number is written. The window's boxes part
// the two with a blank line, the terminal with ": ".
std::string FormatErrorMessage(const ErrorValue& error, std::string_view separator = "\r\n\r\n");

} // namespace hushnote
