#include "web/ReceiverPage.h"

#include "common/error.h"
#include "common/message.h"
#include "common/utf8.h"
#include "engine/PastedText.h"
#include "engine/Words.h"
#include "fileio/SecuredFileIO.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace hushnote::web {
namespace {

// The page's places, each there exactly once. The message goes into the
// message box's own text and the hint into the plain HTML, so both show and
// can be copied even where the page's script cannot run.
constexpr std::string_view kDataPlace = "></textarea>";
constexpr std::string_view kHintPlace = R"(<span id="hint-text"></span>)";
constexpr std::string_view kHiddenHintPlace = R"(<p id="hint" hidden>)";

std::size_t PlaceOf(std::string_view page, std::string_view place) {
    const std::size_t at = page.find(place);
    if (at == std::string_view::npos || page.find(place, at + 1) != std::string_view::npos) {
        throw Failure(kErrInvalidArgument, "The file is not a Hushnote receiver page.");
    }
    return at;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

void CheckHint(std::string_view hint) {
    const std::size_t at = FirstActingOnDisplay(hint);
    if (at == std::string_view::npos) {
        return;
    }
    char32_t cp = 0;
    const std::size_t n = Utf8Sequence(hint.substr(at), cp);
    const std::string byte = " (byte " + std::to_string(at + 1) + ")";
    if (n == 0) {
        // As secure-text words a message that is not UTF-8.
        throw Failure(kErrInvalidArgument, "The hint is not valid UTF-8" + byte + ".");
    }
    // Escaped, the receiver would read "\u202e" in place of what was typed.
    throw Failure(kErrInvalidArgument,
                  "The hint holds " + EscapedPath(hint.substr(at, n)) + byte +
                      ", which would act on the page instead of showing in it.");
}

std::optional<std::filesystem::path> FindReceiverPage(const std::filesystem::path& programFolder) {
    for (const auto& candidate :
         {programFolder / kReceiverPageName,
          programFolder / ".." / ".." / "share" / "hushnote" / kReceiverPageName}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate.lexically_normal();
        }
    }
    return std::nullopt;
}

std::string CarryMessage(std::string_view page, std::string_view securedText,
                         std::string_view hint) {
    CheckHint(hint);
    const pasted::Reading found = pasted::FindSecuredText(securedText);
    if (found.fit != pasted::Fit::Whole) {
        throw Failure(
            kErrInvalidArgument,
            found.fit == pasted::Fit::NotSecured
                ? "This is not secured text: only text made by Secure can travel in the page."
                : words::ChangedText(found.Difference()));
    }
    // Only "?" to "~", which no HTML parser reads as markup, nor as the end
    // of a textarea.
    struct Fill {
        std::size_t at;
        std::string_view place;
        std::string text;
    };
    std::vector<Fill> fills = {
        {PlaceOf(page, kDataPlace), kDataPlace, ">" + found.text + "</textarea>"},
        {PlaceOf(page, kHintPlace), kHintPlace,
         R"(<span id="hint-text">)" + Escaped(hint) + "</span>"},
        {PlaceOf(page, kHiddenHintPlace), kHiddenHintPlace,
         hint.empty() ? std::string(kHiddenHintPlace) : R"(<p id="hint">)"},
    };
    // The last place first, so the earlier ones' offsets still hold.
    std::sort(fills.begin(), fills.end(), [](const Fill& a, const Fill& b) { return a.at > b.at; });
    std::string out(page);
    for (const Fill& f : fills) {
        out.replace(f.at, f.place.size(), f.text);
    }
    return out;
}

void SaveReceiverPage(const std::filesystem::path& page, const std::filesystem::path& out,
                      const std::optional<std::string>& securedText, std::string_view hint,
                      const fileio::OutputOptions& options) {
    // Opened first, so that an output naming the page itself is refused, and
    // read through that opening: the page checked is the page carried.
    fileio::InputFile in(page, fileio::Purpose::Load);
    std::string html = fileio::ReadWholeFile(in);
    if (securedText) {
        html = CarryMessage(html, *securedText, hint);
    }
    fileio::OutputFile file(out, in, options);
    file.Write(html);
    file.Commit();
}

} // namespace hushnote::web
