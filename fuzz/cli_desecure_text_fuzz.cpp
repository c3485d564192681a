// hushnote-cli desecure-text's input path, and DeSecure under it, on any
// bytes: never crashes, and de-securing what the paste reader finds fails only
// as not secured text (that it finds only "?" to "~" is the paste reader's
// target's).
#include "cli/CliError.h"
#include "cli/CliText.h"
#include "engine/PastedText.h"
#include "engine/Words.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const hushnote::pasted::Reading found = hushnote::pasted::FindSecuredText(input);
    if (found.fit == hushnote::pasted::Fit::NotSecured) {
        return 0; // refused before the password, as the command does
    }
    try {
        hushnote::cli::DeSecureText(found.text, "fuzz password");
    } catch (const hushnote::cli::CliError& e) {
        // Nothing inside may fail on well-sized input: only malformed text is refused.
        if (std::string_view(e.what()) != hushnote::words::kNotSecuredText) {
            std::abort();
        }
    }
    return 0;
}
