// hushnote-cli desecure-text's input path, and DeSecure under it, on any
// bytes: never crashes, and fails only with a clear Failure or "not secured
// text".
#include "cli/CliError.h"
#include "cli/CliText.h"
#include "common/error.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string text;
    try {
        text = hushnote::cli::SecuredTextFromInput(input);
    } catch (const hushnote::Failure&) {
        return 0; // not UTF-8, or a character outside the code page: reported
    }
    if (text.find_first_of("\r\n") != std::string::npos) {
        std::abort();
    }
    try {
        hushnote::cli::DeSecureText(text, "fuzz password");
    } catch (const hushnote::cli::CliError& e) {
        // Nothing inside may fail on well-sized input: only malformed text is refused.
        if (std::string_view(e.what()) != "not secured text") {
            std::abort();
        }
    }
    return 0;
}
