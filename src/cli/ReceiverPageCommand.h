#pragma once

#include "cli/CliError.h"
#include "cli/Options.h"

namespace hushnote::cli {

// receiver-page [-i FILE] [--hint TEXT] OUT: writes the receiver page to OUT,
// with the secured text from FILE ("-": standard input) inside when given.
ExitStatus RunReceiverPage(const Options& o);

} // namespace hushnote::cli
