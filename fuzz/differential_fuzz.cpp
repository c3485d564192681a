// The two engines against each other: any bytes and password secured by the
// library (through the cipher object, as the program calls it) give what the
// built-in engine gives, and each engine de-secures them to the same bytes.
// Then every RC4 loop of the library against the portable one: the same key,
// the message in one call against the message cut where the password's bytes
// say, so the blocks of the faster loops start at every offset.
#include "cipher/CCipher.h"
#include "engine/VBEncrypt.h"
#include "fncryptlib/fncrypt_core.h"

#include <cstdlib>
#include <vector>

namespace {

void CompareRc4Loops(std::string_view pw, std::string_view msg) {
    using namespace hushnote::fncrypt;
    const auto* key = reinterpret_cast<const std::uint8_t*>(pw.data());
    const auto* in = reinterpret_cast<const std::uint8_t*>(msg.data());
    Rc4 reference;
    Rc4Key(reference, key, pw.size());
    std::vector<std::uint8_t> expected(msg.size());
    Rc4ApplyPortable(reference, in, msg.size(), expected.data());
    for (Rc4Backend b : {Rc4Backend::X86_64}) {
        if (!Supported(b)) {
            continue;
        }
        Rc4 rc4;
        Rc4Key(rc4, key, pw.size());
        std::vector<std::uint8_t> out(msg.size());
        std::size_t done = 0;
        for (std::size_t k = 0; done < msg.size(); ++k) {
            // Lengths 0 to 96; k moves them on, so the cuts never stall.
            const auto cut = static_cast<std::uint8_t>(pw[k % pw.size()]);
            const std::size_t n = std::min(msg.size() - done, (cut * std::size_t{5} + k) % 97);
            Rc4For(b).apply(rc4, in + done, n, out.data() + done);
            done += n;
        }
        if (out != expected || rc4.i != reference.i || rc4.j != reference.j) {
            std::abort();
        }
    }
}

} // namespace

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
    CompareRc4Loops(pw, msg);
    return 0;
}
