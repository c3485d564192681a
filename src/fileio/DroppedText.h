#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A file dropped on the message box, as the lines the box shows.
namespace hushnote::dropped {

// The lines of a file's bytes, as codes: a line ends at CR or CR LF and is
// followed by CR LF, the last line too; a LF on its own stays in its line
// (the box shows it as a line break all the same).
std::string LinesOf(std::string_view bytes);

// The lines of the file at path, read through fileio::ReadWholeFile, so the
// same limits and refusals apply (throws its Failures).
std::string ReadLines(const std::filesystem::path& path);

} // namespace hushnote::dropped
