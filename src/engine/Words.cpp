#include "engine/Words.h"

#include "engine/VBEncrypt.h"

namespace hushnote {

namespace words {

// kMessageLimit's words give the number as text.
static_assert(VBEncrypt::kMessageLimit == 20'000);

std::string SecuredFileLimit() {
    return "a secured file holds at most " + Grouped(VBEncrypt::kMaxLength) + " bytes.";
}

std::string FileOutcome(const DeSecureResult& result, std::string_view shownIn,
                        std::string_view shownOut, const Style& style) {
    const std::string in(shownIn);
    std::string next = ".";
    next += style.sentenceBreak;
    switch (result.outcome) {
    case DeSecureOutcome::Done:
        break;
    case DeSecureOutcome::NotSecured:
        return in + " is not a secured file" + (result.reason.empty() ? "" : ": " + result.reason) +
               next +
               (result.wroteInPlace
                    ? "What was written to " + std::string(shownOut) + " before stays there."
                    : std::string("Nothing was written."));
    case DeSecureOutcome::Damaged:
        return in + " is damaged: it holds " + style.count(result.recovered) + " of the " +
               style.count(result.expected) + " bytes its header gives" + next +
               (style.offersDownload ? OfferedAsDownload(shownOut)
                                     : "Those were written to " + std::string(shownOut) + ".");
    }
    return {};
}

std::string OfferedAsDownload(std::string_view shownName) {
    return "Offered as a download named " + std::string(shownName) +
           ". See the browser's downloads.";
}

std::string ChangedText(long long difference, const Style& style) {
    const long long n = difference < 0 ? -difference : difference;
    const std::string count = style.count(n) + (n == 1 ? " character" : " characters");
    return "The secured text " +
           (difference < 0 ? "is " + count + " short" : "has " + count + " too many") +
           ": a chat that formats text likely changed it on the way." +
           std::string(style.sentenceBreak) +
           "Ask for it again as a code block (Copy for Chat), as a file, or with the receiver "
           "page.";
}

} // namespace words
} // namespace hushnote
