// DeSecureFile on any file contents, in both modes: never crashes, fails only
// with a Failure, both modes write the same bytes, and what they write is what
// the De-Secure button gives for the same text with its line breaks removed.
#include "cipher/CCipher.h"
#include "common/error.h"
#include "engine/VBEncrypt.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kDir = [] {
    const auto d = fs::temp_directory_path() / ("hushnote-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
}();

std::string Run(hushnote::CipherMode mode, const fs::path& in, const fs::path& out) {
    hushnote::CCipher c;
    c.ChooseMode(mode == hushnote::CipherMode::Library ? hushnote::ModeChoice::Library
                                                       : hushnote::ModeChoice::BuiltIn);
    fs::remove(out);
    try {
        if (c.DeSecureFile(in, out, "fuzz password").outcome ==
            hushnote::DeSecureOutcome::NotSecured) {
            if (fs::exists(out)) {
                std::abort(); // what is not a secured file writes nothing
            }
            return "<not secured>";
        }
    } catch (const hushnote::Failure& f) {
        return "<failure " + std::to_string(f.number()) + ">";
    }
    std::ifstream file(out, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::ofstream(kDir / "input", std::ios::binary) << bytes;
    const std::string written = Run(hushnote::CipherMode::Library, kDir / "input", kDir / "lib");
    if (written != Run(hushnote::CipherMode::BuiltIn, kDir / "input", kDir / "vb")) {
        std::abort();
    }
    std::string text;
    std::remove_copy_if(bytes.begin(), bytes.end(), std::back_inserter(text),
                        [](char c) { return c == '\r' || c == '\n'; });
    // With a body to read, a file reads exactly as the same secured text.
    if (written[0] != '<' && text.size() > hushnote::VBEncrypt::kHeaderChars &&
        written != hushnote::VBEncrypt::DeSecureMessage(text, "fuzz password")) {
        std::abort();
    }
    return 0;
}
