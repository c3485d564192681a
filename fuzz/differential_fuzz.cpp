// The two engines against each other: any bytes and password secured with one
// de-secure with the other to the same bytes, and the library decodes what
// the encoder produced exactly as the built-in decoder does.
#include "cipher/VBEncrypt.h"
#include "fncryptlib/fncryptlib.h"

#include <cstdlib>
#include <string>

namespace {

std::string LibrarySecure(std::string_view msg, std::string_view pw) {
    InitCipher(reinterpret_cast<const std::uint8_t*>(pw.data()),
               static_cast<std::int32_t>(pw.size()), 0);
    std::string cipher(msg.size(), ' ');
    const auto n = static_cast<std::int32_t>(msg.size());
    CipherBuffer(reinterpret_cast<const std::uint8_t*>(msg.data()), n,
                 reinterpret_cast<std::uint8_t*>(cipher.data()));
    std::string body((n / 3 + 1) * 4, ' ');
    body.resize(
        static_cast<std::size_t>(EncodeText(reinterpret_cast<const std::uint8_t*>(cipher.data()), n,
                                            reinterpret_cast<std::uint8_t*>(body.data()))));
    return hushnote::VBEncrypt::EncodeLengthHeader(n) + body;
}

std::string LibraryDeSecure(std::string_view text, std::string_view pw) {
    const auto n = hushnote::VBEncrypt::DecodedHeaderLength(
        hushnote::VBEncrypt::DecodePrintable(text.substr(0, 8)));
    const std::string_view body = text.substr(8);
    std::string plain(body.size(), ' ');
    plain.resize(static_cast<std::size_t>(DecodeText(
        reinterpret_cast<const std::uint8_t*>(body.data()), static_cast<std::int32_t>(body.size()),
        reinterpret_cast<std::uint8_t*>(plain.data()))));
    InitCipher(reinterpret_cast<const std::uint8_t*>(pw.data()),
               static_cast<std::int32_t>(pw.size()), 0);
    CipherBuffer(reinterpret_cast<const std::uint8_t*>(plain.data()),
                 static_cast<std::int32_t>(plain.size()),
                 reinterpret_cast<std::uint8_t*>(plain.data()));
    plain.resize(static_cast<std::size_t>(n));
    return plain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t pwLength = 1 + data[0] % 40;
    if (size < 1 + pwLength + 1) {
        return 0;
    }
    const std::string_view pw(reinterpret_cast<const char*>(data + 1), pwLength);
    const std::string_view msg(reinterpret_cast<const char*>(data + 1 + pwLength),
                               size - 1 - pwLength);
    const std::string builtIn = hushnote::VBEncrypt::SecureMessage(msg, pw);
    const std::string library = LibrarySecure(msg, pw);
    if (builtIn != library) {
        std::abort();
    }
    if (LibraryDeSecure(builtIn, pw) != msg ||
        hushnote::VBEncrypt::DeSecureMessage(library, pw) != msg) {
        std::abort();
    }
    return 0;
}
