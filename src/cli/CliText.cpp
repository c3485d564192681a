#include "cli/CliText.h"

#include "cipher/Plausibility.h"
#include "cipher/VBEncrypt.h"
#include "common/codepage.h"

#include <utility>

namespace hushnote::cli {

std::string ToCrLf(std::string_view codes) {
    std::string out;
    out.reserve(codes.size() + codes.size() / 8);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == '\n' && (i == 0 || codes[i - 1] != '\r')) {
            out += '\r';
        }
        out += codes[i];
    }
    return out;
}

std::string ToLf(std::string_view codes) {
    std::string out;
    out.reserve(codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == '\r' && i + 1 < codes.size() && codes[i + 1] == '\n') {
            continue;
        }
        out += codes[i];
    }
    return out;
}

std::string JoinLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') {
            out += c;
        }
    }
    return out;
}

std::string SecuredTextFromInput(std::string_view utf8) {
    return JoinLines(codepage::Utf8ToCodes(utf8, codepage::Purpose::DeSecuring));
}

DeSecuredText DeSecureText(std::string_view text, std::string_view password) {
    DeSecuredText result;
    VBEncrypt::TextResult plain = VBEncrypt::DeSecure(text, password);
    VBEncrypt::WipeState();
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
