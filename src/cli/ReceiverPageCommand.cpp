// The window's Save Receiver Page... for scripts: the page a receiver opens in
// any browser, perhaps with the secured message already inside.

#include "cli/ReceiverPageCommand.h"

#include "cli/Commands.h"
#include "common/error.h"
#include "common/process.h"
#include "engine/VBEncrypt.h"
#include "web/ReceiverPage.h"

#include <optional>
#include <string>

namespace hushnote::cli {

ExitStatus RunReceiverPage(const Options& o) {
    // Before the page is looked for: what was typed is wrong wherever it goes.
    if (o.hint) {
        web::CheckHint(*o.hint);
    }
    const auto page = web::FindReceiverPage(ProgramFolder());
    if (!page) {
        throw Failure(kErrFileNotFound,
                      "No receiver page is installed: " + std::string(web::kReceiverPageName) +
                          " is neither beside the program nor in share/hushnote.");
    }
    std::optional<std::string> text;
    if (o.inputFile) {
        // "-" is standard input: without -i the command never waits on it.
        Options from = o;
        if (*from.inputFile == "-") {
            from.inputFile.reset();
        }
        text = ReadText(from, static_cast<std::size_t>(VBEncrypt::kMaxSecuredInput),
                        kLongerThanSecuredText);
    } else if (o.hint) {
        throw CliError::Usage("--hint goes with a message: give one with -i FILE.");
    }
    web::SaveReceiverPage(*page, o.operands[0], text, o.hint.value_or(""));
    return ExitStatus::Success;
}

} // namespace hushnote::cli
