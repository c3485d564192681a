#include "cipher/FNCryptLib.h"

#include "common/error.h"

#include <dlfcn.h>
#include <unistd.h>

namespace hushnote {

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    return exe.parent_path();
}

FNCryptLib::FNCryptLib(std::filesystem::path folder) : folder_(std::move(folder)) {}

// The library stays loaded once loaded: it holds the process's one keystream,
// and unloading it between commands would only cost a reload each time.
FNCryptLib::~FNCryptLib() = default;

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
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* why = dlerror();
        throw Failure(kErrLibraryLoad, "The cipher library " + path.string() +
                                           " could not be loaded" +
                                           (why != nullptr ? std::string(": ") + why : "") + ".");
    }
    auto resolve = [&](const char* name) {
        void* fn = dlsym(handle, name);
        if (fn == nullptr) {
            throw Failure(kErrEntryPoint, std::string("The cipher library ") + path.string() +
                                              " has no entry point " + name + ".");
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

std::int32_t Checked(std::int32_t count, std::int32_t bufferSize, const char* function) {
    if (count < 0 || count > bufferSize) {
        throw Failure(kErrInvalidArgument, std::string("The cipher library's ") + function +
                                               " returned an impossible count.");
    }
    return count;
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
    return Checked(cipher_(Bytes(input), length, Bytes(output)), length, "CipherBuffer");
}

std::int32_t FNCryptLib::EncodeText(const char* input, std::int32_t length, char* output) {
    Load();
    return Checked(encode_(Bytes(input), length, Bytes(output)), (length / 3 + 1) * 4,
                   "EncodeText");
}

std::int32_t FNCryptLib::DecodeText(const char* text, std::int32_t length, char* output) {
    Load();
    return Checked(decode_(Bytes(text), length, Bytes(output)), length, "DecodeText");
}

} // namespace hushnote
