// FindSecuredText against what any reading of a paste must keep, rather than
// a copy of itself: it gives only "?" to "~", and a fit that agrees with the
// header's length; and secured text wrapped as mail and chats wrap it comes
// back whole. Which characters of an arbitrary paste it keeps is the trips
// table's and tests/engine/pasted_test.cpp's.
//
// An input whose first byte is ASCII is a paste; any other is a recipe for
// one: byte 0 gives in its low 6 bits the message's length (1 to 64), the
// message follows (its secured text is made with a fixed password, so the
// fuzzer steers the cipher text), then two bytes for the frame around it and a
// byte per step.
#include "engine/PastedText.h"
#include "engine/VBEncrypt.h"

#include <array>
#include <cstdlib>
#include <string>

namespace {

using hushnote::pasted::Fit;
using hushnote::pasted::Reading;

// Every line break a paste may hold: the ASCII ones and NEL, LS, PS.
constexpr std::array<std::string_view, 8> kBreaks = {
    "\n", "\r\n", "\r", "\v", "\f", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"};

// Blanks, and characters a chat or an editor adds without showing them: the
// no-break space, the soft hyphen, the byte order mark, the zero-width space,
// joiners, typographic spaces.
// clang-format off
constexpr std::array<std::string_view, 16> kBlanks = {
    " ", "\t", "\xC2\xA0", "\xC2\xAD", "\xEF\xBB\xBF", "\xE2\x80\x8B", "\xE2\x80\x8C",
    "\xE2\x80\x8D", "\xE2\x81\xA0", "\xE2\x80\x82", "\xE2\x80\x89", "\xE2\x80\x8A",
    "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80", "\xE1\x9A\x80"};
// clang-format on

constexpr std::array<std::string_view, 4> kLanguages = {"", "text", " c++", "plain text"};

bool IsSecured(char c) {
    return c >= '?' && c <= '~';
}

void Check(const Reading& r) {
    for (char c : r.text) {
        if (!IsSecured(c)) {
            std::abort();
        }
    }
    if (r.fit == Fit::NotSecured) {
        if (!r.text.empty() || r.expected != 0) {
            std::abort();
        }
        return;
    }
    const std::int64_t d = r.Difference();
    if (r.expected <= static_cast<std::int64_t>(hushnote::VBEncrypt::kHeaderChars) ||
        (d == 0) != (r.fit == Fit::Whole) || (d < 0) != (r.fit == Fit::Short)) {
        std::abort();
    }
}

// A paste made from the recipe, and the secured text in it.
struct Wrap {
    std::string paste;
    std::string secured;
};

Wrap Wrapped(std::string_view recipe) {
    const std::size_t n = 1 + (static_cast<unsigned char>(recipe[0]) & 63);
    const std::string_view message = recipe.substr(1, n);
    recipe.remove_prefix(std::min(recipe.size(), 1 + n));
    Wrap w{.secured = hushnote::VBEncrypt::SecureMessage(message, "fuzz password")};
    unsigned frame = 0;
    for (unsigned i = 0; i < 16 && !recipe.empty(); i += 8) {
        frame |= static_cast<unsigned>(static_cast<unsigned char>(recipe[0])) << i;
        recipe.remove_prefix(1);
    }

    // Frame bits 0-2: none, inline code of 1 or 2 backticks, or a fence of 3
    // or 4 "`" or "~"; 3-4 the fence's language; 5 whether it is closed; 6-7
    // what comes before each fence line; 8-10 and 11-13 the line breaks after
    // the opening and before the closing line.
    const unsigned kind = frame & 7;
    const std::string ticks(kind == 1 || kind == 2 ? kind : 0, '`');
    const std::string fence =
        kind < 3 || kind == 7 ? "" : std::string(3 + kind % 2, "`~"[kind / 5]);
    constexpr std::array<std::string_view, 4> kLeads = {"", "> ", "\xEF\xBB\xBF", " \xE2\x80\x8B"};
    const std::string_view lead = kLeads[(frame >> 6) & 3];
    const std::string_view afterFence = kBreaks[(frame >> 8) & 7];
    std::string& out = w.paste;
    if (!fence.empty()) {
        out += lead;
        out += fence;
        out += kLanguages[(frame >> 3) & 3];
        out += afterFence;
    }
    out += ticks;

    // Each step: bits 0-2 what to add, 3-7 which or how much.
    std::size_t at = 0;
    bool lineStart = !fence.empty() || ticks.empty();
    bool zeros = false;
    auto copy = [&](std::size_t count) {
        for (const std::size_t end = std::min(w.secured.size(), at + count); at < end; ++at) {
            out += zeros && w.secured[at] == '|' ? '0' : w.secured[at];
            lineStart = false;
        }
    };
    for (const char step : recipe) {
        const unsigned arg = static_cast<unsigned char>(step) >> 3;
        switch (step & 7) {
        case 0:
        case 1:
        case 2:
            copy(arg + 1);
            break;
        case 3:
            out += kBlanks[arg % kBlanks.size()];
            break;
        case 4:
            out += kBreaks[arg % kBreaks.size()];
            lineStart = true;
            break;
        case 5:
            out += lineStart ? std::string_view(arg % 2 ? ">" : "> ") : " ";
            break;
        case 6:
            zeros = !zeros;
            break;
        case 7:
            out += kBreaks[arg % kBreaks.size()];
            out += "> ";
            lineStart = true;
            break;
        }
    }
    copy(w.secured.size());
    out += ticks;
    if (!fence.empty() && (frame & 32) != 0) {
        out += kBreaks[(frame >> 11) & 7];
        out += lead;
        out += fence;
    }
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (size == 0 || data[0] < 0x80) {
        Check(hushnote::pasted::FindSecuredText(input));
        return 0;
    }
    if (size < 2) {
        return 0;
    }
    const Wrap w = Wrapped(input);
    const Reading r = hushnote::pasted::FindSecuredText(w.paste);
    Check(r);
    if (r.fit != Fit::Whole || r.text != w.secured) {
        std::abort();
    }
    return 0;
}
