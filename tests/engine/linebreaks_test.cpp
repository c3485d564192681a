#include "engine/LineBreaks.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace hushnote::linebreaks {
namespace {

// A dropped file's lines: a CR LF taken as two breaks would add empty lines,
// a lone CR left alone would run two lines into one, a last line left open
// would run into the next file dropped.
TEST(LineBreaks, DroppedLinesEndAtCrOrCrLf) {
    const std::pair<std::string, std::string> cases[] = {
        // clang-format off
        {"a\rb\r", "a\r\nb\r\n"}, {"a\r\nb\r\n", "a\r\nb\r\n"}, {"a\r\r\nb", "a\r\n\r\nb\r\n"},
        {"a\nb\n", "a\nb\n\r\n"}, // a LF on its own stays in the line
        {"\r\n", "\r\n"}, {"", ""}, {std::string("\0\x1a\xff", 3), std::string("\0\x1a\xff\r\n", 5)},
        // clang-format on
    };
    for (const auto& [bytes, lines] : cases) {
        EXPECT_EQ(LinesOf(bytes), lines) << bytes;
    }
}

} // namespace
} // namespace hushnote::linebreaks
