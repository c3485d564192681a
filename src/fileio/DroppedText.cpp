#include "fileio/DroppedText.h"

#include "engine/LineBreaks.h"
#include "fileio/SecuredFileIO.h"

namespace hushnote::dropped {

std::string ReadLines(const std::filesystem::path& path) {
    return linebreaks::LinesOf(fileio::ReadWholeFile(path));
}

} // namespace hushnote::dropped
