#include "web/ReceiverPage.h"

#include "common/error.h"
#include "engine/PastedText.h"
#include "engine/Words.h"
#include "fileio/SecuredFileIO.h"

#include <system_error>

namespace hushnote::web {
namespace {

// The page's two places, each empty and there exactly once.
constexpr std::string_view kDataPlace =
    R"(<script type="application/octet-stream" id="carried"></script>)";
constexpr std::string_view kScriptEnd = "</script>";
constexpr std::string_view kHintPlace = R"(<span id="hint-text"></span>)";

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
    const pasted::Reading found = pasted::FindSecuredText(securedText);
    if (found.fit != pasted::Fit::Whole) {
        throw Failure(
            kErrInvalidArgument,
            found.fit == pasted::Fit::NotSecured
                ? "This is not secured text: only text made by Secure can travel in the page."
                : words::ChangedText(found.Difference()));
    }
    // Only "?" to "~", which no HTML parser reads as markup.
    const std::string& text = found.text;
    std::string out(page);
    const std::size_t hintAt = PlaceOf(out, kHintPlace);
    const std::size_t dataAt = PlaceOf(out, kDataPlace);
    const std::string filledHint = R"(<span id="hint-text">)" + Escaped(hint) + "</span>";
    const std::string filledData =
        std::string(kDataPlace.substr(0, kDataPlace.size() - kScriptEnd.size())) + text +
        std::string(kScriptEnd);
    // The later place first, so the earlier one's offset still holds.
    if (dataAt > hintAt) {
        out.replace(dataAt, kDataPlace.size(), filledData);
        out.replace(hintAt, kHintPlace.size(), filledHint);
    } else {
        out.replace(hintAt, kHintPlace.size(), filledHint);
        out.replace(dataAt, kDataPlace.size(), filledData);
    }
    return out;
}

void SaveReceiverPage(const std::filesystem::path& page, const std::filesystem::path& out,
                      const std::optional<std::string>& securedText, std::string_view hint) {
    // Opened first, so that an output naming the page itself is refused.
    fileio::InputFile in(page, fileio::Purpose::Load);
    std::string html = fileio::ReadWholeFile(page);
    if (securedText) {
        html = CarryMessage(html, *securedText, hint);
    }
    fileio::OutputFile file(out, in);
    file.Write(html);
    file.Commit();
}

} // namespace hushnote::web
