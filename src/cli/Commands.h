#pragma once

#include "cli/CliError.h"
#include "cli/Options.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace hushnote::cli {

// Runs the command o asks for. Throws CliError for what the user can put
// right and Failure for what went wrong.
ExitStatus RunCommand(const Options& o);

// The text of o's input file, or of standard input when it names none; more
// than maxBytes is refused with the words tooLong.
std::string ReadText(const Options& o, std::size_t maxBytes, std::string_view tooLong);

// What ReadText says of an input longer than any secured text can be.
inline constexpr std::string_view kLongerThanSecuredText =
    "This is not secured text: the input is too long.";

} // namespace hushnote::cli
