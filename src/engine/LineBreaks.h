#pragma once

#include <string>
#include <string_view>

// The message box holds CR LF line breaks, terminals and files hand over LF,
// and a mail program may break secured text into lines of any kind: the rules
// between them, the same for the window, the command-line tool and the page.
namespace hushnote::linebreaks {

// Every LF that does not follow a CR becomes CR LF; CR LF stays as it is.
std::string ToCrLf(std::string_view codes);

// Every CR LF becomes LF; a lone CR or LF stays.
std::string ToLf(std::string_view codes);

// Removes every CR and every LF: secured text never holds a line break, and a
// mail program or an editor may have broken it into lines of any kind.
std::string JoinLines(std::string_view text);

// A file dropped on the message box, as the lines the box shows: a line ends
// at CR or CR LF and is followed by CR LF, the last line too; a LF on its own
// stays in its line (the box shows it as a line break all the same).
std::string LinesOf(std::string_view bytes);

} // namespace hushnote::linebreaks
