#pragma once

#include "cli/CliError.h"
#include "cli/Options.h"

namespace hushnote::cli {

// Runs the command o asks for. Throws CliError for what the user can put
// right and Failure for what went wrong.
ExitStatus RunCommand(const Options& o);

} // namespace hushnote::cli
