// hushnote-cli: the window's Secure / De-Secure buttons and its File menu
// commands for terminals and scripts, on the same cipher engine.

#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Terminal.h"
#include "common/error.h"
#include "common/message.h"
#include "common/process.h"
#include "hushnote/identity.h"

#include <exception>
#include <new>
#include <string>
#include <vector>

namespace hushnote::cli {
namespace {

ExitStatus Run(const std::vector<std::string>& args) {
    try {
        const Options o = ParseArguments(args);
        if (o.help) {
            WriteOut(kHelp);
        } else if (o.version) {
            WriteOut(std::string(kProgram) + " " + identity::FullVersion() + "\n");
        } else {
            return RunCommand(o);
        }
        return ExitStatus::Success;
    } catch (const CliError& e) {
        PrintError(e.what());
        if (e.hint()) {
            PrintError("Try 'hushnote-cli --help' for more information.");
        }
        return e.status();
    } catch (const Failure& f) {
        PrintError(f.description());
        return ExitStatus::Failed;
    } catch (const std::bad_alloc&) {
        PrintError(std::string(kOutOfMemory));
        return ExitStatus::Failed;
    } catch (const std::exception& e) {
        // Words no part of the program chose, perhaps with a name in them:
        // told as unexpected, escaped, in the voice all the same.
        PrintError("Unexpected failure: " + EscapedPath(e.what()) + ".");
        return ExitStatus::Failed;
    }
}

} // namespace
} // namespace hushnote::cli

int main(int argc, char** argv) {
    hushnote::DisableCoreDumps();
    hushnote::HoldClosedStandardStreams();
    return static_cast<int>(hushnote::cli::Run(std::vector<std::string>(argv + 1, argv + argc)));
}
