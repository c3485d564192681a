#pragma once

#include "fileio/SecuredFileIO.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The receiver page as the window and the command-line tool hand it out: the
// built hushnote.html, found beside the program, with a secured message and a
// password hint put inside when the sender wants them there.
namespace hushnote::web {

inline constexpr std::string_view kReceiverPageName = "hushnote.html";

// The page for a program in programFolder: beside it in a build tree, under
// share/hushnote when installed (programFolder is then lib/hushnote). Nothing
// when neither holds one.
std::optional<std::filesystem::path> FindReceiverPage(const std::filesystem::path& programFolder);

// Throws Failure(kErrInvalidArgument) for a hint the page could not show as
// typed: one that is not UTF-8, or holds what would act on the page instead
// of showing in it (the characters file names show escaped: controls, those
// that reorder text, line and paragraph separators).
void CheckHint(std::string_view hint);

// page with securedText in its message box, so it opens ready for the
// password, and hint (HTML-escaped here) shown above the password box.
// securedText is UTF-8 in any form a paste may take (wrapped, quoted,
// fenced); the page carries the secured text alone. Throws
// Failure(kErrInvalidArgument) when it is not secured text, when its length
// does not fit its header, when CheckHint refuses hint, or when page is not a
// receiver page.
std::string CarryMessage(std::string_view page, std::string_view securedText,
                         std::string_view hint);

// Writes the page at page to out, carrying securedText and hint as
// CarryMessage does when securedText is given. out is written as every output
// of the program is, as options say: it replaces an existing file only once
// whole. Throws Failure.
void SaveReceiverPage(const std::filesystem::path& page, const std::filesystem::path& out,
                      const std::optional<std::string>& securedText, std::string_view hint,
                      const fileio::OutputOptions& options = {});

} // namespace hushnote::web
