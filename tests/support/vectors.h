#pragma once
// Known answers shared by the built-in engine's tests and the library's, so
// that every implementation is held to the same table.
#include <cstddef>
#include <string_view>

namespace hushnote::test {

using namespace std::string_view_literals;

struct Rc4Vector {
    std::string_view key;    // hex
    std::size_t offset;      // into the keystream
    std::string_view stream; // hex, 16 bytes from offset
};

// RFC 6229, "Test Vectors for the Stream Cipher RC4", section 2: keystream
// bytes at the given offsets for its 40-bit and 128-bit keys.
inline constexpr Rc4Vector kRfc6229[] = {
    {"0102030405", 0, "b2 39 63 05 f0 3d c0 27 cc c3 52 4a 0a 11 18 a8"},
    {"0102030405", 16, "69 82 94 4f 18 fc 82 d5 89 c4 03 a4 7a 0d 09 19"},
    {"0102030405", 240, "28 cb 11 32 c9 6c e2 86 42 1d ca ad b8 b6 9e ae"},
    {"0102030405", 256, "1c fc f6 2b 03 ed db 64 1d 77 df cf 7f 8d 8c 93"},
    {"0102030405", 4080, "06 83 26 a2 11 84 16 d2 1f 9d 04 b2 cd 1c a0 50"},
    {"0102030405", 4096, "ff 25 b5 89 95 99 67 07 e5 1f bd f0 8b 34 d8 75"},
    {"0102030405060708090a0b0c0d0e0f10", 0, "9a c7 cc 9a 60 9d 1e f7 b2 93 28 99 cd e4 1b 97"},
    {"0102030405060708090a0b0c0d0e0f10", 16, "52 48 c4 95 90 14 12 6a 6e 8a 84 f1 1d 1a 9e 1c"},
    {"0102030405060708090a0b0c0d0e0f10", 240, "06 59 02 e4 b6 20 f6 cc 36 c8 58 9f 66 43 2f 2b"},
    {"0102030405060708090a0b0c0d0e0f10", 256, "d3 9d 56 6b c6 bc e3 01 07 68 15 15 49 f3 87 3f"},
    {"0102030405060708090a0b0c0d0e0f10", 4080, "ff 38 26 5c 16 42 c1 ab e8 d3 c2 fe 5e 57 2b f8"},
    {"0102030405060708090a0b0c0d0e0f10", 4096, "a3 6a 4c 30 1a e8 ac 13 61 0c cb c1 22 56 ca cc"},
};

struct PrintableExample {
    std::string_view plain, encoded, decoded; // decoded: partial groups come back space-filled
};

// The encoding's worked examples, and the length headers of secured text for
// 5 and 20,000 codes (three codes of length, three zero codes).
inline constexpr PrintableExample kPrintableExamples[] = {
    {"abc", "WUHb", "abc"},
    {"Hello", "QETkZE{_", "Hello "},
    {"a", "WQ?_", "a  "},
    {"\0\0\x05\0\0\0"sv, "???D????", "\0\0\x05\0\0\0"sv},
    {"\0\x4e\x20\0\0\0"sv, "?Cw_????", "\0\x4e\x20\0\0\0"sv},
};

struct DecodeExample {
    std::string_view text, decoded, why;
};

// Malformed or unusual printable text, four characters or more.
inline constexpr DecodeExample kDecodeExamples[] = {
    {"WUHbW", "abc", "one trailing character is ignored"},
    {"WUHbWUH", "abc", "three trailing characters are ignored"},
    {"0000", "\xf7\xdf\x7d", "'0' reads as '|'"},
    {"||||", "\xf7\xdf\x7d", "'|' itself"},
    {" 1\r\n", "\0\0\0"sv, "characters below '?' count as 0"},
    {"!9;>", "\0\0\0"sv, "more characters below '?'"},
    {"WU\r\nHb", "a`\0"sv, "a line break shifts the group"},
    {"~???", "\xfc\0\0"sv, "126 is still a value"},
    {"WUHb\x7f???", "", "a first character of 127 empties everything"},
    {"\xff???", "", "so does 255"},
    {"?\xff\xff\xff", "\0\0\xc0"sv, "elsewhere such codes give what the formulas give"},
};

} // namespace hushnote::test
