// The library's DecodeText on any text: within its buffer, and byte for byte
// what the built-in DecodePrintable gives.
#include "engine/VBEncrypt.h"
#include "fncryptlib/fncryptlib.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Exactly the documented size, so the sanitizer sees any overrun.
    std::vector<std::uint8_t> out(size);
    const std::int32_t n = DecodeText(data, static_cast<std::int32_t>(size), out.data());
    const std::string ref = size < 4 ? "" : hushnote::VBEncrypt::DecodePrintable(text);
    if (n < 0 || static_cast<std::size_t>(n) > size ||
        std::string(out.begin(), out.begin() + n) != ref) {
        std::abort();
    }
    return 0;
}
