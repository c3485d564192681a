#pragma once

#include "common/process.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace hushnote {

// The file name of the native library on this platform.
#if defined(_WIN32)
inline constexpr const char* kLibraryFileName = "fncryptlib.dll";
#else
inline constexpr const char* kLibraryFileName = "libfncryptlib.so";
#endif

// Binding to the native cipher library. It is loaded at the first call, by
// full path from one folder only: never from the working folder or a search
// path, since a planted library would see every password.
//
// Failures are thrown as Failure: 48 when the library cannot be loaded, 75
// when users other than its owner or root could change it, 453 naming the
// function when it lacks one, and 5 naming the function when it returns a
// count other than the one it promises.
class FNCryptLib {
public:
    explicit FNCryptLib(std::filesystem::path folder);
    ~FNCryptLib();
    FNCryptLib(const FNCryptLib&) = delete;
    FNCryptLib& operator=(const FNCryptLib&) = delete;

    void InitCipher(std::string_view key, std::int16_t option);
    std::int32_t CipherBuffer(const char* input, std::int32_t length, char* output);
    std::int32_t EncodeText(const char* input, std::int32_t length, char* output);
    std::int32_t DecodeText(const char* text, std::int32_t length, char* output);

    const std::filesystem::path& folder() const { return folder_; }

private:
    void Load();

    using InitFn = std::int32_t (*)(const std::uint8_t*, std::int32_t, std::int16_t);
    using BufferFn = std::int32_t (*)(const std::uint8_t*, std::int32_t, std::uint8_t*);

    std::filesystem::path folder_;
    void* handle_ = nullptr;
    InitFn init_ = nullptr;
    BufferFn cipher_ = nullptr;
    BufferFn encode_ = nullptr;
    BufferFn decode_ = nullptr;
};

} // namespace hushnote
