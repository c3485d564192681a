#include "engine/VBEncrypt.h"

#include "common/error.h"
#include "common/message.h"
#include "common/secret.h"

#include <new>
#include <utility>

namespace hushnote::VBEncrypt {
namespace {

CipherState gState;

std::uint8_t Code(char c) {
    return static_cast<std::uint8_t>(c);
}

// Writes EncodedSize(s.size()) characters at o; a last partial group is
// filled with spaces (unciphered).
void EncodeInto(std::string_view s, char* o) {
    const std::size_t groups = (s.size() + 2) / 3;
    auto at = [&](std::size_t i) -> unsigned { return i < s.size() ? Code(s[i]) : 32u; };
    for (std::size_t g = 0; g < groups; ++g) {
        const unsigned p = at(3 * g), q = at(3 * g + 1), r = at(3 * g + 2);
        o[0] = static_cast<char>(((p & 252) >> 2) + 63);
        o[1] = static_cast<char>((((p & 3) << 4) | ((q & 240) >> 4)) + 63);
        o[2] = static_cast<char>((((q & 15) << 2) | ((r & 192) >> 6)) + 63);
        o[3] = static_cast<char>((r & 63) + 63);
        o += 4;
    }
}

} // namespace

std::size_t EncodedSize(std::size_t n) {
    return (n + 2) / 3 * 4;
}

const CipherState& State() {
    return gState;
}

void WipeState() {
    Wipe(&gState, sizeof gState);
}

void RequirePassword(std::string_view password) {
    if (password.empty()) {
        throw Failure(kErrInvalidArgument, "The password is empty.");
    }
}

void KeyCipher(std::string_view password) {
    RequirePassword(password);
    CipherState& s = gState;
    std::size_t p = 0;
    for (int k = 0; k < 256; ++k) {
        s.KeyTable[k] = Code(password[p]);
        if (++p == password.size()) {
            p = 0;
        }
    }
    for (int k = 0; k < 256; ++k) {
        s.SBox[k] = static_cast<std::int16_t>(k);
    }
    int j = 0;
    for (int k = 0; k < 256; ++k) {
        j = (j + s.SBox[k] + (s.KeyTable[k] & 255)) & 255;
        std::swap(s.SBox[k], s.SBox[j]);
    }
    s.StreamI = 0;
    s.StreamJ = 0;
}

std::uint8_t CipherNextByte(std::uint8_t b) {
    CipherState& s = gState;
    s.StreamI = static_cast<std::int16_t>((s.StreamI + 1) & 255);
    s.StreamJ = static_cast<std::int16_t>((s.StreamJ + s.SBox[s.StreamI]) & 255);
    std::swap(s.SBox[s.StreamI], s.SBox[s.StreamJ]);
    int t = (s.SBox[s.StreamJ] + s.SBox[s.StreamI]) & 255;
    return static_cast<std::uint8_t>(s.SBox[t] ^ b);
}

void CipherNextBytes(char* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        data[i] = static_cast<char>(CipherNextByte(Code(data[i])));
    }
}

std::string CipherString(std::string_view text, std::string_view password) {
    gState.StreamI = 0;
    gState.StreamJ = 0;
    if (password.empty()) {
        return {};
    }
    const KeyedState keyed(password);
    std::string result(text);
    CipherNextBytes(result.data(), result.size());
    return result;
}

std::string EncodePrintable(std::string_view s) {
    if (s.empty()) {
        throw Failure(kErrInvalidArgument, "There is nothing to encode.");
    }
    std::string out(EncodedSize(s.size()), '?');
    EncodeInto(s, out.data());
    return out;
}

std::size_t EncodePrintableInto(std::string_view s, char* out) {
    EncodeInto(s, out);
    return EncodedSize(s.size());
}

std::string DecodePrintable(std::string_view s) {
    const std::size_t m = s.size();
    const std::size_t whole = m - m % 4;
    if (whole < 4) {
        return std::string(m, ' ');
    }
    auto value = [](char c) -> unsigned {
        unsigned code = Code(c);
        if (code == '0') {
            code = '|';
        }
        return code > 63 ? code - 63 : 0;
    };
    std::string out(whole / 4 * 3, ' ');
    char* o = out.data();
    for (std::size_t i = 0; i < whole; i += 4) {
        const unsigned w = value(s[i]), x = value(s[i + 1]), y = value(s[i + 2]),
                       z = value(s[i + 3]);
        if (w > 63) {
            // A code above 255 cannot be written: the whole decoding fails.
            return {};
        }
        o[0] = static_cast<char>((w << 2) | ((x & 48) >> 4));
        o[1] = static_cast<char>(((x & 15) << 4) | ((y & 60) >> 2));
        o[2] = static_cast<char>(((y & 3) << 6) | z);
        o += 3;
    }
    return out;
}

std::string LengthHeaderCodes(std::int64_t n) {
    if (n < 0 || n > kMaxLength) {
        throw Failure(kErrInvalidArgument, "The length " + std::to_string(n) +
                                               " cannot be recorded: at most " +
                                               Grouped(kMaxLength) + " bytes can be secured.");
    }
    return {static_cast<char>(n >> 16),
            static_cast<char>((n >> 8) & 255),
            static_cast<char>(n & 255),
            '\0',
            '\0',
            '\0'};
}

std::string EncodeLengthHeader(std::int64_t n) {
    return EncodePrintable(LengthHeaderCodes(n));
}

std::int64_t DecodedHeaderLength(std::string_view h) {
    if (h.size() < 3) {
        return -1;
    }
    return std::int64_t{Code(h[0])} * 65536 + Code(h[1]) * 256 + Code(h[2]);
}

std::string SecureMessage(std::string_view message, std::string_view password) {
    if (message.empty()) {
        throw Failure(kErrInvalidArgument, "There is no message to secure.");
    }
    RequirePassword(password);
    std::string header = EncodeLengthHeader(static_cast<std::int64_t>(message.size()));
    const std::string k = CipherString(message, password);
    std::string result(kHeaderChars + EncodedSize(k.size()), '?');
    header.copy(result.data(), kHeaderChars);
    EncodeInto(k, result.data() + kHeaderChars);
    return result;
}

TextResult DeSecure(std::string_view text, std::string_view password) {
    TextResult result;
    try {
        std::string_view head = text.substr(0, kHeaderChars);
        std::string_view body = text.size() > kHeaderChars ? text.substr(kHeaderChars) : "";
        const std::int64_t n = DecodedHeaderLength(DecodePrintable(head));
        if (n < 0) {
            result.outcome = TextOutcome::UnreadableHeader;
            return result;
        }
        if (body.empty()) {
            result.outcome = TextOutcome::NoBody;
            return result;
        }
        const std::string decoded = DecodePrintable(body);
        result.message = CipherString(decoded, password);
        if (static_cast<std::int64_t>(result.message.size()) > n) {
            result.message.resize(static_cast<std::size_t>(n));
        }
        result.outcome = decoded.empty() ? TextOutcome::UnreadableBody : TextOutcome::Message;
    } catch (const Failure& f) {
        result.outcome = TextOutcome::Failed;
        result.failure = f.description();
    } catch (const std::bad_alloc&) {
        result.outcome = TextOutcome::Failed;
        result.failure = kOutOfMemory;
    }
    return result;
}

std::string ShownMessage(TextResult result) {
    switch (result.outcome) {
    case TextOutcome::UnreadableHeader:
        return "ERR";
    case TextOutcome::NoBody:
        return "ERR2";
    case TextOutcome::Failed:
        return "VBError: " + result.failure;
    case TextOutcome::Message:
    case TextOutcome::UnreadableBody:
        break;
    }
    return std::move(result.message);
}

std::string DeSecureMessage(std::string_view text, std::string_view password) {
    return ShownMessage(DeSecure(text, password));
}

std::optional<std::size_t> KeepSecuredChars(std::string& text, std::size_t from) {
    // "?" to "~" are the codes whose distance from "?" fits in six bits. Checked
    // for the whole run first, in a loop the compiler turns into vector code:
    // the usual secured file has no line break and nothing foreign.
    unsigned char outside = 0;
    for (char c : std::string_view(text).substr(from)) {
        outside |= static_cast<unsigned char>(c - '?') & 0xC0;
    }
    if (outside == 0) {
        return std::nullopt;
    }
    std::size_t kept = from;
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            continue;
        }
        // "0" is read as "|", as the decoder always has.
        if (static_cast<unsigned char>(c - '?') >= 64 && c != '0') {
            return i;
        }
        text[kept++] = c;
    }
    text.resize(kept);
    return std::nullopt;
}

} // namespace hushnote::VBEncrypt
