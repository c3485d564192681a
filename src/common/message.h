#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Pieces of the texts the program shows, made in one place so that every
// message quotes a file name and writes a count the same way.
namespace hushnote {

// path with its control characters written as escapes ("\n", "\x1b",
// "\u009b"), the controls that reorder text on screen too ("\u202e"), and
// each byte that is not part of UTF-8 text as "\xff"; a backslash as "\\" and
// a double quote as "\"". A crafted file name can neither move a terminal's
// cursor, fake a line of a message, end its quotes early nor pass for another
// name, and every name shows as the bytes it is, read back one way only.
std::string EscapedPath(std::string_view path);

// Where text first holds what EscapedPath escapes because it would act on
// the display instead of showing (a control character, one that reorders
// text, a line or paragraph separator) or because it is not UTF-8: its byte
// offset, or npos when there is none.
std::size_t FirstActingOnDisplay(std::string_view text);

// The same between double quotes, as messages show a file name.
inline std::string QuotedPath(std::string_view path) {
    return '"' + EscapedPath(path) + '"';
}
inline std::string QuotedPath(const std::string& path) {
    return QuotedPath(std::string_view(path));
}
inline std::string QuotedPath(const char* path) {
    return QuotedPath(std::string_view(path));
}
inline std::string QuotedPath(const std::filesystem::path& path) {
    return QuotedPath(std::string_view(path.native()));
}

// "16,777,215": a count with its thousands grouped.
std::string Grouped(long long n);

} // namespace hushnote
