#pragma once

#include "fileio/SecuredFileIO.h"

#include <filesystem>
#include <optional>
#include <sys/stat.h>

// Deciding where an output goes before anything is written to it.
namespace hushnote::fileio::detail {

// The descriptor of this program that path names: through /proc/<pid>/fd/N
// or /dev/fd/N in any spelling and through any links, or as the same open
// file as one of descriptors 0 to 2 open for writing (st: the path's stat,
// links followed; null when it names nothing). Throws Failure when it names a
// standard stream that was closed, a descriptor that is not open, or another
// program's descriptor.
std::optional<int> DescriptorFor(const std::filesystem::path& path, const struct stat* st);

// The permissions a new file gets from the umask.
mode_t NewFileMode();

// Gives the temporary file fd the extended attributes of the file at path,
// its ACL among them, and takes away an ACL that file does not have: the
// replacement lets in exactly whom the old file let in. Throws Failure when
// one cannot be kept; nothing is written then.
void KeepAttributes(int fd, const std::filesystem::path& path);

} // namespace hushnote::fileio::detail
