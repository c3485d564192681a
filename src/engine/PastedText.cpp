#include "engine/PastedText.h"

#include "common/utf8.h"
#include "engine/VBEncrypt.h"

#include <array>
#include <cstdlib>
#include <vector>

namespace hushnote::pasted {
namespace {

using VBEncrypt::kHeaderChars;

// What a character of a paste is to the reader.
enum class Kind : std::uint8_t {
    Secured, // "?" to "~", or the "0" old decoders read as "|"
    Blank,   // any blank or invisible character: never part of secured text
    Break,   // a line break of any kind
    Quote,   // ">", a mail quote marker where a line starts
    Other,   // anything else: the paste is not (only) secured text
};

constexpr Kind AsciiKind(unsigned c) {
    if ((c >= '?' && c <= '~') || c == '0') {
        return Kind::Secured;
    }
    switch (c) {
    case ' ':
    case '\t':
        return Kind::Blank;
    case '\n':
    case '\r':
    case '\v':
    case '\f':
        return Kind::Break;
    case '>':
        return Kind::Quote;
    default:
        return Kind::Other;
    }
}

constexpr std::array<Kind, 128> kAscii = [] {
    std::array<Kind, 128> table{};
    for (unsigned c = 0; c < table.size(); ++c) {
        table[c] = AsciiKind(c);
    }
    return table;
}();

Kind UnicodeKind(char32_t c) {
    switch (c) {
    case 0x85:   // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return Kind::Break;
    case 0xA0:   // no-break space
    case 0xAD:   // soft hyphen
    case 0x1680: // ogham space mark
    case 0x202F: // narrow no-break space
    case 0x205F: // medium mathematical space
    case 0x2060: // word joiner
    case 0x3000: // ideographic space
    case 0xFEFF: // byte order mark, zero-width no-break space
        return Kind::Blank;
    default:
        // The typographic spaces, then the zero-width space and joiners.
        return c >= 0x2000 && c <= 0x200D ? Kind::Blank : Kind::Other;
    }
}

// One line of the paste: where it lies in the paste, where its secured
// characters lie in the cleaned text, and whether anything else was left.
struct Line {
    std::string_view raw;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool foreign = false;
};

// The kind of the character at paste[i], and its length in bytes.
Kind KindAt(std::string_view paste, std::size_t i, std::size_t& length) {
    const auto b = static_cast<unsigned char>(paste[i]);
    if (b < 0x80) {
        length = 1;
        return kAscii[b];
    }
    char32_t cp = 0;
    length = Utf8Sequence(paste.substr(i), cp);
    if (length == 0) {
        length = 1;
        return Kind::Other;
    }
    return UnicodeKind(cp);
}

bool IsSecuredChar(char c) {
    return static_cast<unsigned char>(c - '?') < 64;
}

// Splits the paste into lines and cleans each into text: leading quote
// markers and blanks, and blanks anywhere, go; secured characters stay.
std::vector<Line> CleanLines(std::string_view paste, std::string& text) {
    std::vector<Line> lines;
    text.resize(paste.size());
    std::size_t kept = 0;
    Line line;
    std::size_t lineStart = 0;
    bool atStart = true;
    for (std::size_t i = 0; i < paste.size();) {
        // Runs of secured characters are the bulk of a line: copied whole.
        std::size_t run = i;
        while (run < paste.size() && IsSecuredChar(paste[run])) {
            ++run;
        }
        if (run > i) {
            paste.copy(text.data() + kept, run - i, i);
            kept += run - i;
            atStart = false;
            i = run;
            continue;
        }
        std::size_t length = 1;
        switch (KindAt(paste, i, length)) {
        case Kind::Secured: // the old "0"
            text[kept++] = '|';
            atStart = false;
            break;
        case Kind::Blank:
            break;
        case Kind::Quote:
            line.foreign |= !atStart;
            break;
        case Kind::Other:
            line.foreign = true;
            atStart = false;
            break;
        case Kind::Break:
            line.raw = paste.substr(lineStart, i - lineStart);
            line.end = kept;
            lines.push_back(line);
            line = Line{};
            line.begin = kept;
            lineStart = i + length;
            atStart = true;
            break;
        }
        i += length;
    }
    line.raw = paste.substr(lineStart);
    line.end = kept;
    lines.push_back(line);
    text.resize(kept);
    return lines;
}

bool IsBlankLine(const Line& line) {
    return line.begin == line.end && !line.foreign;
}

// The line without the quote markers, blanks and invisible characters a mail
// or an editor added around it: a byte order mark before a fence still opens
// it.
std::string_view Trimmed(std::string_view raw) {
    std::size_t length = 1;
    std::size_t a = 0;
    for (; a < raw.size(); a += length) {
        const Kind kind = KindAt(raw, a, length);
        if (kind != Kind::Blank && kind != Kind::Quote) {
            break;
        }
    }
    std::size_t b = a;
    for (std::size_t i = a; i < raw.size(); i += length) {
        if (KindAt(raw, i, length) != Kind::Blank) {
            b = i + length;
        }
    }
    return raw.substr(a, b - a);
}

// A fence: three or more of one fence character, then for an opening line an
// optional language word (without a backtick after backticks).
struct Fence {
    char mark = 0;
    std::size_t count = 0;
};

Fence OpeningFence(std::string_view raw) {
    const std::string_view line = Trimmed(raw);
    if (line.empty() || (line[0] != '`' && line[0] != '~')) {
        return {};
    }
    const char mark = line[0];
    const std::size_t count = line.find_first_not_of(mark);
    const std::size_t run = count == std::string_view::npos ? line.size() : count;
    if (run < 3 || (mark == '`' && line.find('`', run) != std::string_view::npos)) {
        return {};
    }
    return {mark, run};
}

bool ClosesFence(std::string_view raw, const Fence& opening) {
    const std::string_view line = Trimmed(raw);
    return line.size() >= opening.count &&
           line.find_first_not_of(opening.mark) == std::string_view::npos;
}

// How text fits the length its header gives; the text itself is left out
// until a reading is chosen.
Reading Assess(std::string_view text) {
    Reading r;
    if (text.size() <= kHeaderChars || text.substr(4, 4) != "????") {
        return r;
    }
    const std::int64_t n =
        VBEncrypt::DecodedHeaderLength(VBEncrypt::DecodePrintable(text.substr(0, 4)));
    if (n < 1) {
        return r;
    }
    const std::int64_t expected = static_cast<std::int64_t>(kHeaderChars) + (n + 2) / 3 * 4;
    const std::int64_t difference = static_cast<std::int64_t>(text.size()) - expected;
    // Far off, it is some other text that merely looks like a header, or two
    // texts run together: nothing a chat does by dropping a few characters.
    if (std::llabs(difference) > expected / 2) {
        return r;
    }
    r.fit = difference == 0 ? Fit::Whole : difference < 0 ? Fit::Short : Fit::Long;
    r.expected = expected;
    return r;
}

Reading Chosen(Reading r, std::string_view text) {
    r.text = text;
    return r;
}

// The paste as Markdown shows inline code, `text` or ``text``: the same
// number of backticks at both ends. Secured text of a message begins with
// "?", so it never begins with one.
std::string_view WithoutCodeSpan(std::string_view text) {
    const std::size_t ticks = text.find_first_not_of('`');
    if (ticks == 0 || ticks == std::string_view::npos || text.size() < 2 * ticks) {
        return {};
    }
    if (text.substr(text.size() - ticks).find_first_not_of('`') != std::string_view::npos) {
        return {};
    }
    return text.substr(ticks, text.size() - 2 * ticks);
}

} // namespace

Reading FindSecuredText(std::string_view utf8) {
    // Most pastes are secured text and nothing else: no line to look at.
    unsigned char outside = 0;
    for (char c : utf8) {
        outside |= static_cast<unsigned char>(c - '?') & 0xC0;
    }
    if (outside == 0) {
        Reading r = Assess(utf8);
        if (r.fit == Fit::Whole || WithoutCodeSpan(utf8).empty()) {
            return r.fit == Fit::NotSecured ? r : Chosen(r, utf8);
        }
    }

    std::string text;
    text.reserve(utf8.size());
    const std::vector<Line> lines = CleanLines(utf8, text);
    std::size_t first = 0;
    std::size_t last = lines.size();
    while (first < last && IsBlankLine(lines[first])) {
        ++first;
    }
    while (last > first && IsBlankLine(lines[last - 1])) {
        --last;
    }
    if (first == last) {
        return {};
    }

    // The readings to weigh, best first: both fence lines off, only the
    // opening one (a fence left open, or its end not copied), and as it is.
    struct Candidate {
        std::size_t from, to;
    };
    std::vector<Candidate> candidates;
    if (const Fence fence = OpeningFence(lines[first].raw); fence.count != 0) {
        if (last - first >= 2 && ClosesFence(lines[last - 1].raw, fence)) {
            candidates.push_back({first + 1, last - 1});
        }
        candidates.push_back({first + 1, last});
    }
    candidates.push_back({first, last});

    Reading best;
    std::string_view bestText;
    for (const Candidate& c : candidates) {
        bool foreign = false;
        for (std::size_t i = c.from; i < c.to; ++i) {
            foreign |= lines[i].foreign;
        }
        if (foreign || c.from >= c.to) {
            continue;
        }
        const std::string_view found = std::string_view(text).substr(
            lines[c.from].begin, lines[c.to - 1].end - lines[c.from].begin);
        for (std::string_view reading : {found, WithoutCodeSpan(found)}) {
            if (reading.empty()) {
                continue;
            }
            const Reading r = Assess(reading);
            if (r.fit == Fit::Whole) {
                return Chosen(r, reading);
            }
            const auto off = [](const Reading& x, std::string_view t) {
                return std::llabs(static_cast<std::int64_t>(t.size()) - x.expected);
            };
            if (r.fit != Fit::NotSecured &&
                (best.fit == Fit::NotSecured || off(r, reading) < off(best, bestText))) {
                best = r;
                bestText = reading;
            }
        }
    }
    return best.fit == Fit::NotSecured ? best : Chosen(best, bestText);
}

std::string ChatForm(std::string_view secured) {
    std::string form = "```\n";
    form += secured;
    form += "\n```";
    return form;
}

} // namespace hushnote::pasted
