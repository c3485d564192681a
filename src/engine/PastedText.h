#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Secured text comes back from a mail or a chat wrapped, indented, quoted,
// fenced as code, or with invisible characters added, and a chat that
// formats text may have dropped characters from it. This finds the secured
// text in what was pasted, and says how well it fits the length its own
// header gives, so that a changed text is reported instead of de-secured into
// a wrong message without a word. The window, the command-line tool and the
// page all read a paste through here.
namespace hushnote::pasted {

// How the secured text found fits its header.
enum class Fit {
    Whole,      // exactly as long as the header needs
    Short,      // some characters missing, as when a chat dropped them
    Long,       // some characters too many
    NotSecured, // no reading of the paste is secured text, or one far off
};

struct Reading {
    Fit fit = Fit::NotSecured;
    // The secured text, "?" to "~" only (an old "0" reads as "|", as the
    // decoder always read it); empty when NotSecured.
    std::string text;
    // How many characters the header's length needs, header included; 0 when
    // NotSecured.
    std::int64_t expected = 0;

    // Characters too many (> 0) or missing (< 0).
    std::int64_t Difference() const { return static_cast<std::int64_t>(text.size()) - expected; }
};

// Takes UTF-8 as pasted and removes only what can never be part of secured
// text: every kind of blank and line break, zero-width characters, the soft
// hyphen and the byte order mark, mail quote markers (runs of ">" and blanks)
// at the start of each line, and a Markdown fence (a line of three or more "`"
// or "~" with an optional language word, and its closing line) around the
// text. "`" and "~" are secured characters too, so a fence is taken off only
// when the text fits better without it. A character of "?" to "~" is never
// dropped, and anything else left over makes the paste NotSecured. Never
// throws but std::bad_alloc.
Reading FindSecuredText(std::string_view utf8);

// Secured text in the form chats that format text leave alone: a Markdown
// code fence of three backticks around it, on lines of their own, with LF
// line breaks and none at the end. Secured text begins with "?", so it never
// closes the fence early.
std::string ChatForm(std::string_view secured);

} // namespace hushnote::pasted
