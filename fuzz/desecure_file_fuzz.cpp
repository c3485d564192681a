// DeSecureFile on any file contents, in both modes: never crashes, fails only
// with a Failure, and both modes write the same bytes.
#include "cipher/CCipher.h"
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

std::string Run(std::int16_t mode, const std::filesystem::path& in, const char* outName) {
    hushnote::CCipher c;
    c.SetDLLMode(mode);
    const auto out = WorkDir() / outName;
    std::filesystem::remove(out);
    try {
        if (c.DeSecureFile(in, out, "fuzz password") == 1) {
            if (std::filesystem::exists(out)) {
                std::abort(); // an unreadable header writes nothing
            }
            return "<header>";
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
    if (Run(0, in, "lib") != Run(1, in, "vb")) {
        std::abort();
    }
    return 0;
}
