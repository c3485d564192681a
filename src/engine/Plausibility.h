#pragma once

#include <string_view>

// Guesses about a text that the format itself cannot answer: it has no check
// value, so a wrong password gives a wrong text of the right length, and
// secured text carries no mark beyond its shape. Both take single-byte codes
// (one char per code, the code page of common/codepage.h) and never throw.
namespace hushnote::plausibility {

// False when a de-secured message reads as the noise a wrong password gives:
// it holds a control character other than tab, CR and LF, or more codes of 128
// and above than a message in a Western language has (accented letters are
// rare in a message; noise has about half its codes there). Typographic quotes,
// dashes, the ellipsis, the euro sign and the no-break space count as text.
// Noise of 20 codes or more is told apart in more than 99 cases out of 100;
// shorter noise less often.
bool LooksLikeText(std::string_view codes);

// True when the first 8 characters of codes can open secured text: "?" to "~"
// or "0", decoding to a length of at least 1 whose codes 4 to 6 are zero.
bool IsSecuredHeader(std::string_view codes);

} // namespace hushnote::plausibility
