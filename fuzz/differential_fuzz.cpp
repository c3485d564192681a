// The two engines against each other: any bytes and password secured by the
// library (through the cipher object, as the program calls it) give what the
// built-in engine gives, and each engine de-secures them to the same bytes.
#include "cipher/CCipher.h"
#include "cipher/VBEncrypt.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t pwLength = size == 0 ? 0 : 1 + data[0] % 40;
    if (size < 2 + pwLength) {
        return 0;
    }
    const std::string_view pw(reinterpret_cast<const char*>(data + 1), pwLength);
    const std::string_view msg(reinterpret_cast<const char*>(data + 1 + pwLength),
                               size - 1 - pwLength);
    static hushnote::CCipher library; // loaded once, from beside the program
    const std::string builtIn = hushnote::VBEncrypt::SecureMessage(msg, pw);
    if (library.SecureString(msg, pw) != builtIn || library.DeSecureString(builtIn, pw) != msg ||
        hushnote::VBEncrypt::DeSecureMessage(builtIn, pw) != msg) {
        std::abort();
    }
    return 0;
}
