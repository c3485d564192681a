#include "fileio/DroppedText.h"

#include "fileio/SecuredFileIO.h"

namespace hushnote::dropped {

std::string LinesOf(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8 + 2);
    bool lineOpen = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char b = bytes[i];
        if (b == '\r') {
            // The terminator is not part of the line, whichever of the two it is.
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
            out += "\r\n";
            lineOpen = false;
        } else {
            out += b;
            lineOpen = true;
        }
    }
    if (lineOpen) {
        out += "\r\n";
    }
    return out;
}

std::string ReadLines(const std::filesystem::path& path) {
    return LinesOf(fileio::ReadWholeFile(path));
}

} // namespace hushnote::dropped
