#pragma once

#include "common/secret.h"
#include "engine/LineBreaks.h"

#include <string>
#include <string_view>

// Turning what a terminal or a script hands over (UTF-8 with LF line breaks)
// into the text the window's message box holds (single-byte codes with CR LF
// line breaks), and back.
namespace hushnote::cli {

using hushnote::Secret;
using hushnote::Wipe;
using linebreaks::JoinLines;
using linebreaks::ToCrLf;
using linebreaks::ToLf;

struct DeSecuredText {
    Secret message; // UTF-8 with LF line breaks
    // False when the message reads as the noise a wrong password gives.
    bool looksLikeText = true;
};

// The De-Secure button's work for the terminal: malformed text is refused
// with CliError::Failed(words::kNotSecuredText), never a message that merely
// reads "ERR"; a failure inside is CliError::Failed with its description.
DeSecuredText DeSecureText(std::string_view text, std::string_view password);

} // namespace hushnote::cli
