// The library's DecodeText on any text: within its buffer, and byte for byte
// what the built-in DecodePrintable gives.
#include "cipher/VBEncrypt.h"
#include "fncryptlib/fncryptlib.h"

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    const auto m = static_cast<std::int32_t>(size);
    // Exactly the documented size, so the sanitizer sees any overrun.
    auto out = std::make_unique<std::uint8_t[]>(size + 1);
    const std::int32_t n = DecodeText(data, m, out.get());
    if (n < 0 || n > m) {
        std::abort();
    }
    const std::string ref = hushnote::VBEncrypt::DecodePrintable(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (size >= 4 && std::string(reinterpret_cast<char*>(out.get()), n) != ref) {
        std::abort();
    }
    return 0;
}
