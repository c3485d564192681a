#pragma once

#include <cstdint>

namespace hushnote {

// A colour as the settings store keeps it, one number per colour: 0x00BBGGRR,
// red in the lowest byte. Signed, because the settings store keeps it as
// signed decimal text.
using ColorValue = std::int32_t;

constexpr ColorValue MakeColor(int red, int green, int blue) {
    return static_cast<ColorValue>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int ColorRed(ColorValue c) {
    return c & 0xFF;
}
constexpr int ColorGreen(ColorValue c) {
    return (c >> 8) & 0xFF;
}
constexpr int ColorBlue(ColorValue c) {
    return (c >> 16) & 0xFF;
}

} // namespace hushnote
