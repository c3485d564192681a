// DecodePrintable on any text: never crashes, and its length rules hold.
#include "cipher/VBEncrypt.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string out = hushnote::VBEncrypt::DecodePrintable(text);
    if (size < 4) {
        if (out != std::string(size, ' ')) {
            std::abort();
        }
    } else if (!out.empty() && out.size() != size / 4 * 3) {
        std::abort();
    }
    if (!out.empty() && size >= 4) {
        // Whatever decodes, encodes back to the same values ('0' and values
        // below '?' aside, which have no encoding of their own).
        const std::string again =
            hushnote::VBEncrypt::DecodePrintable(hushnote::VBEncrypt::EncodePrintable(out));
        if (again.substr(0, out.size()) != out) {
            std::abort();
        }
    }
    return 0;
}
