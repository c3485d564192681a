#pragma once

#include <filesystem>
#include <string>

// A file dropped on the message box, as the lines the box shows.
namespace hushnote::dropped {

// The lines of the file at path (linebreaks::LinesOf), read through
// fileio::ReadWholeFile, so the same limits and refusals apply (throws its
// Failures).
std::string ReadLines(const std::filesystem::path& path);

} // namespace hushnote::dropped
