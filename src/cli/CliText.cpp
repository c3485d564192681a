#include "cli/CliText.h"

#include "cli/CliError.h"
#include "common/codepage.h"
#include "engine/Plausibility.h"
#include "engine/VBEncrypt.h"
#include "engine/Words.h"

#include <utility>

namespace hushnote::cli {

DeSecuredText DeSecureText(std::string_view text, std::string_view password) {
    VBEncrypt::TextResult plain = VBEncrypt::DeSecure(text, password);
    const Secret message(std::move(plain.message));
    switch (plain.outcome) {
    case VBEncrypt::TextOutcome::Message:
        break;
    case VBEncrypt::TextOutcome::Failed:
        throw CliError::Failed(plain.failure);
    case VBEncrypt::TextOutcome::UnreadableHeader:
    case VBEncrypt::TextOutcome::NoBody:
    case VBEncrypt::TextOutcome::UnreadableBody:
        // Told apart from a message that merely reads "ERR" or "ERR2", and
        // from an empty one.
        throw CliError::Failed(std::string(words::kNotSecuredText));
    }
    return {Secret(codepage::CodesToUtf8(ToLf(message.value()))),
            plausibility::LooksLikeText(message.value())};
}

} // namespace hushnote::cli
