#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The single-byte code page the cipher works in: Windows-1252, with its five
// unassigned codes (0x81, 0x8D, 0x8F, 0x90, 0x9D) mapped to the C1 control
// characters of the same number. Every one of the 256 codes maps to exactly one
// character and back, so any cipher output survives a trip through text.
//
// "Codes" below are std::strings in which every char is one code.
namespace hushnote::codepage {

inline constexpr const char* kName = "Windows-1252";

char32_t CodeToChar(std::uint8_t code);
std::optional<std::uint8_t> CharToCode(char32_t ch);

// What a text is turned into codes for, so that a failure names the command
// the character stops: a message to secure or secured text to de-secure.
enum class Purpose { Securing, DeSecuring };

// Throw Failure(kErrInvalidArgument) naming the first character the code page
// lacks and its 1-based position. Never substitutes "?": that would change
// the message without a word.
std::string Utf16ToCodes(std::u16string_view text, Purpose purpose = Purpose::Securing);
std::string Utf8ToCodes(std::string_view text, Purpose purpose = Purpose::Securing);

// The same for a password, but a failure never shows the character: an error
// box or a terminal must not reveal any part of a password.
std::string PasswordToCodes(std::u16string_view password);
std::string PasswordToCodes(std::string_view utf8Password);

std::u16string CodesToUtf16(std::string_view codes);
std::string CodesToUtf8(std::string_view codes);

} // namespace hushnote::codepage
