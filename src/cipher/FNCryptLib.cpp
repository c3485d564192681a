#include "cipher/FNCryptLib.h"

#include "common/error.h"
#include "common/message.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace hushnote {

FNCryptLib::FNCryptLib(std::filesystem::path folder) : folder_(std::move(folder)) {}

// The library stays loaded once loaded: it holds the process's one keystream,
// and unloading it between commands would only cost a reload each time.
FNCryptLib::~FNCryptLib() = default;

namespace {

// The library sees every password, so only its owner or root may change it:
// neither the file nor its folder may be writable by others, and the file
// must belong to root or to whoever owns the program. Group write access is
// allowed, since a developer's umask of 002 gives it to every build.
void RefuseIfOthersCanChange(const std::filesystem::path& path) {
    struct stat file = {};
    if (::stat(path.c_str(), &file) != 0) {
        return; // nothing there: loading reports it as missing
    }
    const auto refuse = [&](const std::string& why) {
        throw Failure(kErrPathAccess, "The cipher library " + EscapedPath(path.native()) +
                                          " was not loaded: " + why + ".");
    };
    if ((file.st_mode & S_IWOTH) != 0) {
        refuse("other users can change it");
    }
    // The folder that holds the file itself, links followed: whoever may
    // write there may put another library in its place.
    std::error_code ec;
    for (const auto& folder :
         {path.parent_path(), std::filesystem::canonical(path, ec).parent_path()}) {
        struct stat dir = {};
        if (!folder.empty() && ::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_IWOTH) != 0) {
            refuse("other users can change its folder " + EscapedPath(folder.native()));
        }
    }
    struct stat program = {};
    const bool ownerKnown = ::stat("/proc/self/exe", &program) == 0;
    if (file.st_uid != 0 && (!ownerKnown || file.st_uid != program.st_uid)) {
        refuse("it belongs to a user other than root or the owner of the program");
    }
}

// The first bytes of an ELF file: its class, byte order and processor.
struct ElfKind {
    bool elf = false;
    unsigned char elfClass = 0, data = 0;
    std::uint16_t machine = 0;
};

ElfKind ElfKindOf(const std::filesystem::path& path) {
    unsigned char h[EI_NIDENT + 4] = {};
    std::ifstream in(path, std::ios::binary);
    ElfKind kind;
    if (!in.read(reinterpret_cast<char*>(h), sizeof h) || std::memcmp(h, ELFMAG, SELFMAG) != 0) {
        return kind;
    }
    kind = {true, h[EI_CLASS], h[EI_DATA], 0};
    // e_machine follows e_type, in the file's own byte order.
    const unsigned lo = h[EI_NIDENT + 2], hi = h[EI_NIDENT + 3];
    kind.machine =
        static_cast<std::uint16_t>(h[EI_DATA] == ELFDATA2MSB ? (lo << 8) | hi : (hi << 8) | lo);
    return kind;
}

// Why dlopen failed. For a library built for another processor the loader
// only says "No such file or directory", which sends the user looking for a
// file that is there.
std::string WhyNotLoaded(const std::filesystem::path& path, const char* dlReason) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        const ElfKind lib = ElfKindOf(path), self = ElfKindOf("/proc/self/exe");
        if (!lib.elf) {
            return "it is not a shared library";
        }
        if (self.elf && (lib.elfClass != self.elfClass || lib.data != self.data ||
                         lib.machine != self.machine)) {
            return "it is built for another processor (ELF machine " + std::to_string(lib.machine) +
                   ", this program " + std::to_string(self.machine) + ")";
        }
    }
    return dlReason != nullptr ? dlReason : "no reason given";
}

} // namespace

void FNCryptLib::Load() {
    if (handle_ != nullptr) {
        return;
    }
    const std::filesystem::path path = folder_ / kLibraryFileName;
    // An absolute path: dlopen then searches nothing else. A relative folder
    // (never the program's own) would be a search, so it is refused.
    if (!path.is_absolute()) {
        throw Failure(kErrLibraryLoad,
                      "The cipher library was not looked for: its folder is not known.");
    }
    RefuseIfOthersCanChange(path);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const std::string why = WhyNotLoaded(path, dlerror());
        throw Failure(kErrLibraryLoad, "The cipher library " + EscapedPath(path.native()) +
                                           " could not be loaded: " + why + ".");
    }
    auto resolve = [&](const char* name) {
        void* fn = dlsym(handle, name);
        if (fn == nullptr) {
            throw Failure(kErrEntryPoint, std::string("The cipher library ") +
                                              EscapedPath(path.native()) + " has no entry point " +
                                              name + ".");
        }
        return fn;
    };
    init_ = reinterpret_cast<InitFn>(resolve("InitCipher"));
    cipher_ = reinterpret_cast<BufferFn>(resolve("CipherBuffer"));
    encode_ = reinterpret_cast<BufferFn>(resolve("EncodeText"));
    decode_ = reinterpret_cast<BufferFn>(resolve("DecodeText"));
    handle_ = handle;
}

namespace {
const std::uint8_t* Bytes(const char* p) {
    return reinterpret_cast<const std::uint8_t*>(p);
}
std::uint8_t* Bytes(char* p) {
    return reinterpret_cast<std::uint8_t*>(p);
}

// Every count is checked against the one the library promises: a short count
// taken at its word would drop data from a file in silence. Not 48, which
// would read as "no library" and switch to the built-in cipher half-way.
std::int32_t Checked(std::int32_t count, std::int32_t expected, const char* function) {
    if (count != expected) {
        throw Failure(kErrInvalidArgument, std::string("The cipher library's ") + function +
                                               " returned " + std::to_string(count) + " where " +
                                               std::to_string(expected) + " was expected.");
    }
    return count;
}

// A text that the library decodes to nothing: a group whose first character
// does not fit in a byte (the built-in decoder gives "" for it too). Every
// piece of a secured file passes here, so the loop has no early exit and no
// branch: a code of 127 or more is one whose successor reaches bit 7 or 8.
bool DecodesToNothing(const char* text, std::int32_t length) {
    unsigned seen = 0;
    for (std::int32_t k = 0; k + 4 <= length; k += 4) {
        seen |= static_cast<unsigned char>(text[k]) + 1u;
    }
    return (seen & 0x180u) != 0;
}
} // namespace

void FNCryptLib::InitCipher(std::string_view key, std::int16_t option) {
    Load();
    if (init_(Bytes(key.data()), static_cast<std::int32_t>(key.size()), option) != 0) {
        throw Failure(kErrInvalidArgument, "The cipher library refused the key.");
    }
}

std::int32_t FNCryptLib::CipherBuffer(const char* input, std::int32_t length, char* output) {
    Load();
    return Checked(cipher_(Bytes(input), length, Bytes(output)), std::max(length, 0),
                   "CipherBuffer");
}

std::int32_t FNCryptLib::EncodeText(const char* input, std::int32_t length, char* output) {
    Load();
    return Checked(encode_(Bytes(input), length, Bytes(output)),
                   length < 1 ? 0 : (length + 2) / 3 * 4, "EncodeText");
}

std::int32_t FNCryptLib::DecodeText(const char* text, std::int32_t length, char* output) {
    Load();
    const std::int32_t expected = DecodesToNothing(text, length) ? 0 : std::max(length, 0) / 4 * 3;
    return Checked(decode_(Bytes(text), length, Bytes(output)), expected, "DecodeText");
}

} // namespace hushnote
