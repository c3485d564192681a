#include "cli/CliText.h"

#include "cipher/VBEncrypt.h"
#include "common/codepage.h"

#include <algorithm>
#include <cstring>

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
    // Tell malformed text from a message that merely reads "ERR" or "ERR2",
    // and a body that does not decode (which the window shows as an empty
    // message) from a message.
    const std::string_view head = text.substr(0, VBEncrypt::kHeaderChars);
    const std::int64_t n = VBEncrypt::DecodedHeaderLength(VBEncrypt::DecodePrintable(head));
    if (n < 0 || text.size() <= VBEncrypt::kHeaderChars) {
        result.error = "not secured text";
        return result;
    }
    const auto decoded = static_cast<std::int64_t>(
        VBEncrypt::DecodePrintable(text.substr(VBEncrypt::kHeaderChars)).size());
    if (decoded == 0) {
        result.error = "not secured text";
        return result;
    }
    Secret message(VBEncrypt::DeSecureMessage(text, password));
    VBEncrypt::WipeState();
    // A failure inside comes back as "VBError: " + description; a message
    // that happens to start so has the length the header promised.
    constexpr std::string_view kFailureMark = "VBError: ";
    if (message.value().compare(0, kFailureMark.size(), kFailureMark) == 0 &&
        static_cast<std::int64_t>(message.value().size()) != std::min(n, decoded)) {
        result.error = message.value().substr(kFailureMark.size());
        return result;
    }
    result.message = Secret(codepage::CodesToUtf8(ToLf(message.value())));
    result.ok = true;
    return result;
}

} // namespace hushnote::cli
