// The window's Save Receiver Page... for scripts: the page a receiver opens in
// any browser, perhaps with the secured message already inside.

#include "cli/ReceiverPageCommand.h"

#include "cipher/FNCryptLib.h"
#include "common/error.h"
#include "engine/VBEncrypt.h"
#include "fileio/SecuredFileIO.h"
#include "web/ReceiverPage.h"

#include <iostream>
#include <iterator>
#include <string>

namespace hushnote::cli {
namespace {

// Secured text is short; a page carrying more than the longest would not
// be opened by anyone, so an endless input stops here.
std::string ReadStandardInput() {
    std::string data;
    char buffer[65536];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
        data.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
        if (static_cast<std::int64_t>(data.size()) > VBEncrypt::kMaxSecuredInput) {
            throw CliError::Refusal("not secured text: the input is too long");
        }
    }
    return data;
}

} // namespace

ExitStatus RunReceiverPage(const Options& o) {
    const auto page = web::FindReceiverPage(ProgramFolder());
    if (!page) {
        throw Failure(kErrFileNotFound,
                      "No receiver page is installed: " + std::string(web::kReceiverPageName) +
                          " is neither beside the program nor in share/hushnote.");
    }
    fileio::InputFile pageFile(*page, fileio::Purpose::Load);
    std::string html = fileio::ReadWholeFile(*page);
    if (o.inputFile) {
        const std::string text =
            *o.inputFile == "-" ? ReadStandardInput() : fileio::ReadWholeFile(*o.inputFile);
        html = web::CarryMessage(html, text, o.hint.value_or(""));
    } else if (o.hint) {
        throw CliError::Usage("--hint goes with a message: give one with -i FILE");
    }
    fileio::OutputFile out(o.operands[0], pageFile);
    out.Write(html);
    out.Commit();
    return ExitStatus::Success;
}

} // namespace hushnote::cli
