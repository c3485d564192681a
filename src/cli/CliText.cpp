#include "cli/CliText.h"

#include "common/codepage.h"
#include "engine/Plausibility.h"
#include "engine/VBEncrypt.h"

#include <utility>

namespace hushnote::cli {

std::string SecuredTextFromInput(std::string_view utf8) {
    return JoinLines(codepage::Utf8ToCodes(utf8, codepage::Purpose::DeSecuring));
}

DeSecuredText DeSecureText(std::string_view text, std::string_view password) {
    DeSecuredText result;
    VBEncrypt::TextResult plain = VBEncrypt::DeSecure(text, password);
    const Secret message(std::move(plain.message));
    switch (plain.outcome) {
    case VBEncrypt::TextOutcome::Message:
        result.message = Secret(codepage::CodesToUtf8(ToLf(message.value())));
        result.looksLikeText = plausibility::LooksLikeText(message.value());
        result.ok = true;
        break;
    case VBEncrypt::TextOutcome::Failed:
        result.error = plain.failure;
        break;
    case VBEncrypt::TextOutcome::UnreadableHeader:
    case VBEncrypt::TextOutcome::NoBody:
    case VBEncrypt::TextOutcome::UnreadableBody:
        // Told apart from a message that merely reads "ERR" or "ERR2", and
        // from an empty one.
        result.error = "not secured text";
        break;
    }
    return result;
}

} // namespace hushnote::cli
