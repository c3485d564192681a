#pragma once

#include "common/error.h"
#include "common/message.h"
#include "engine/SecuredFile.h"

#include <string>
#include <string_view>

// The user's words for what the engine reports, in one place, so that the
// window, the command-line tool and the page tell the same thing the same way.
namespace hushnote {

namespace words {

// How a program sets out a message of several sentences: what parts them
// (" " on a terminal line, a blank line in a box) and how it writes a count.
struct Style {
    std::string_view sentenceBreak = " ";
    std::string (*count)(long long) = Grouped;
    // The page cannot write a file: it offers a download, and the browser
    // decides where it goes and what it is called in the end.
    bool offersDownload = false;
};

// What a program that offers its output as a download can truthfully say of
// it; shownName comes quoted and escaped.
std::string OfferedAsDownload(std::string_view shownName);

// What de-securing infile into outfile came to, for the user: empty when it
// is Done. The names come quoted and escaped as the program shows a name.
std::string FileOutcome(const DeSecureResult& result, std::string_view shownIn,
                        std::string_view shownOut, const Style& style = {});

// What a paste whose secured text a chat or a mail changed on the way came to:
// difference is the characters too many (> 0) or missing (< 0) against the
// length its header gives. What likely did it and what to do are said too.
std::string ChangedText(long long difference, const Style& style = {});

// What a paste that holds no secured text at all is told.
inline constexpr std::string_view kNotSecuredText = "This is not secured text.";
// After either of those, where the result took the paste's place: the page's
// Undo button and the window's Ctrl+Z bring it back.
inline constexpr std::string_view kUndoGetsPasteBack = "Undo brings back what was pasted.";
inline constexpr std::string_view kCtrlZGetsPasteBack = "Ctrl+Z brings back what was pasted.";

// The refusals the window answers with a box and the terminal with a line.
inline constexpr std::string_view kBlankPassword = "Password is blank.";
inline constexpr std::string_view kNoMessageToSecure = "No message to secure.";
inline constexpr std::string_view kNoMessageToDeSecure = "No message to de-secure.";
inline constexpr std::string_view kMessageLimit = "Message limit is 20,000 characters.";
// What the status line says while a command runs, and after the copy.
inline constexpr std::string_view kSecuringText = "Securing Text...";
inline constexpr std::string_view kDeSecuringText = "De-Securing Text...";
inline constexpr std::string_view kSecuringFile = "Securing File...";
inline constexpr std::string_view kDeSecuringFile = "De-Securing File...";
inline constexpr std::string_view kBytesLeft = "Bytes Left: "; // then the count
inline constexpr std::string_view kWrongPassword = "Wrong password? Ctrl+Z undoes.";
// The receiver page's, named after its buttons: a phone has no Ctrl+Z.
inline constexpr std::string_view kWrongPasswordOnPage =
    "Wrong password? Type it again and press De-Secure; Undo brings back the secured text.";
// Secure on text that already is secured text asks first: the window in a
// Yes/No box, the page in its status line, where Secure pressed again goes on.
inline constexpr std::string_view kSecureAgain = "This already is secured text. Secure it again?";
inline constexpr std::string_view kPressSecureAgain = "Press Secure once more to do so.";
inline constexpr std::string_view kTextCopied = "Text copied to clipboard.";
// Why a file too large to secure is refused, after "NAME is N bytes long; ".
std::string SecuredFileLimit();

} // namespace words
} // namespace hushnote
