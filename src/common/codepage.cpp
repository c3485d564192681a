#include "common/codepage.h"

#include "common/error.h"
#include "common/utf8.h"

#include <array>
#include <cstdio>

namespace hushnote::codepage {
namespace {

// 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string EncodeUtf8(char32_t ch) {
    std::string out;
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
    return out;
}

[[noreturn]] void ThrowUnsupported(char32_t ch, std::size_t position, Purpose purpose) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(ch));
    std::string shown = (ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || (ch >= 0xD800 && ch < 0xE000))
                            ? std::string()
                            : "\"" + EncodeUtf8(ch) + "\" ";
    throw Failure(kErrInvalidArgument,
                  "The character " + shown + "(" + code + ") at position " +
                      std::to_string(position) + " cannot be " +
                      (purpose == Purpose::DeSecuring ? "de-secured" : "secured") +
                      ": it is not in the " + kName + " character set.");
}

std::uint8_t CodeOrThrow(char32_t ch, std::size_t position, Purpose purpose) {
    if (auto code = CharToCode(ch)) {
        return *code;
    }
    ThrowUnsupported(ch, position, purpose);
}

} // namespace

char32_t CodeToChar(std::uint8_t code) {
    if (code >= 0x80 && code < 0xA0) {
        return kHigh[code - 0x80];
    }
    return code;
}

std::optional<std::uint8_t> CharToCode(char32_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
        return static_cast<std::uint8_t>(ch);
    }
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == ch) {
            return static_cast<std::uint8_t>(0x80 + i);
        }
    }
    return std::nullopt;
}

std::string Utf16ToCodes(std::u16string_view text, Purpose purpose) {
    std::string codes(text.size(), '\0');
    std::size_t out = 0;
    std::size_t position = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t ch = text[i];
        ++position;
        if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        codes[out++] = static_cast<char>(CodeOrThrow(ch, position, purpose));
    }
    codes.resize(out);
    return codes;
}

std::string Utf8ToCodes(std::string_view text, Purpose purpose) {
    std::string codes(text.size(), '\0');
    std::size_t out = 0;
    std::size_t position = 0;
    for (std::size_t i = 0; i < text.size();) {
        ++position;
        char32_t ch = 0;
        const std::size_t n = Utf8Sequence(text.substr(i), ch);
        if (n == 0) {
            // Named where the sequence that is not one begins, as a hint is.
            throw Failure(kErrInvalidArgument,
                          "The text is not valid UTF-8 (byte " + std::to_string(i + 1) + ").");
        }
        codes[out++] = static_cast<char>(CodeOrThrow(ch, position, purpose));
        i += n;
    }
    codes.resize(out);
    return codes;
}

namespace {
template <class Text, class Convert> std::string PasswordCodes(Text password, Convert convert) {
    try {
        return convert(password);
    } catch (const Failure&) {
        throw Failure(kErrInvalidArgument,
                      std::string("The password holds a character that is not in the ") + kName +
                          " character set, or is not valid text.");
    }
}
} // namespace

std::string PasswordToCodes(std::u16string_view password) {
    return PasswordCodes(password, [](std::u16string_view p) { return Utf16ToCodes(p); });
}

std::string PasswordToCodes(std::string_view utf8Password) {
    return PasswordCodes(utf8Password, [](std::string_view p) { return Utf8ToCodes(p); });
}

std::u16string CodesToUtf16(std::string_view codes) {
    std::u16string text(codes.size(), u'\0');
    for (std::size_t i = 0; i < codes.size(); ++i) {
        text[i] = static_cast<char16_t>(CodeToChar(static_cast<std::uint8_t>(codes[i])));
    }
    return text;
}

std::string CodesToUtf8(std::string_view codes) {
    std::string text;
    text.reserve(codes.size() + codes.size() / 4);
    for (char c : codes) {
        auto code = static_cast<std::uint8_t>(c);
        if (code < 0x80) {
            text += c;
        } else {
            text += EncodeUtf8(CodeToChar(code));
        }
    }
    return text;
}

} // namespace hushnote::codepage
