#pragma once

#include <cstddef>
#include <string_view>

namespace hushnote {

// The length of the UTF-8 sequence at s[0] and its code point in cp, or 0 when
// the bytes there are not one (a stray byte, an overlong form, a surrogate,
// beyond Unicode, or cut short). s must not be empty.
std::size_t Utf8Sequence(std::string_view s, char32_t& cp);

} // namespace hushnote
