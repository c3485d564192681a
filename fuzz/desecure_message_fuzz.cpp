// DeSecure on any pasted text and password: never crashes, never fails, and
// never returns more than the header claims.
#include "cipher/VBEncrypt.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t pwLength = data[0] % 32;
    if (size < 1 + pwLength) {
        return 0;
    }
    const std::string_view password(reinterpret_cast<const char*>(data + 1), pwLength);
    const std::string_view text(reinterpret_cast<const char*>(data + 1 + pwLength),
                                size - 1 - pwLength);
    using hushnote::VBEncrypt::TextOutcome;
    const auto out = hushnote::VBEncrypt::DeSecure(text, password);
    if (out.outcome == TextOutcome::Failed) {
        std::abort(); // nothing inside may fail on well-sized input
    }
    if (out.outcome == TextOutcome::Message || out.outcome == TextOutcome::UnreadableBody) {
        const auto n = hushnote::VBEncrypt::DecodedHeaderLength(
            hushnote::VBEncrypt::DecodePrintable(text.substr(0, 8)));
        if (n < 0 || static_cast<std::int64_t>(out.message.size()) > n) {
            std::abort();
        }
    }
    return 0;
}
