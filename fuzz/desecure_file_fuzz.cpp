// DeSecureFile on any file contents, in both modes: never crashes, fails only
// with a Failure, both modes write the same bytes, and what they write is what
// the De-Secure button gives for the same text with its line breaks removed.
#include "cipher/CCipher.h"
#include "cipher/VBEncrypt.h"
#include "common/error.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

std::filesystem::path WorkDir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() /
                 ("hushnote-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

std::string Run(hushnote::CipherMode mode, const std::filesystem::path& in, const char* outName) {
    hushnote::CCipher c;
    c.SetDLLMode(mode);
    const auto out = WorkDir() / outName;
    std::filesystem::remove(out);
    try {
        if (c.DeSecureFile(in, out, "fuzz password").outcome ==
            hushnote::DeSecureOutcome::NotSecured) {
            if (std::filesystem::exists(out)) {
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
    const auto in = WorkDir() / "input";
    {
        std::ofstream(in, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::string written = Run(hushnote::CipherMode::Library, in, "lib");
    if (written != Run(hushnote::CipherMode::NotLoaded, in, "vb")) {
        std::abort();
    }
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != '\r' && data[i] != '\n') {
            text += static_cast<char>(data[i]);
        }
    }
    // With a body to read, a file reads exactly as the same secured text.
    if (written[0] != '<' && text.size() > hushnote::VBEncrypt::kHeaderChars &&
        written != hushnote::VBEncrypt::DeSecureMessage(text, "fuzz password")) {
        std::abort();
    }
    return 0;
}
