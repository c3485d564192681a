#pragma once
// Helpers shared by the engine's, the command line's and the window's tests.
#include "cipher/CCipher.h"
#include "common/error.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hushnote::test {

// Bytes from hex text, spaces ignored: "b2 39 63" -> three codes.
inline std::string FromHex(std::string_view hex) {
    std::string out;
    for (std::size_t k = 0; k + 1 < hex.size(); k += hex[k] == ' ' ? 1 : 2) {
        if (hex[k] != ' ') {
            out += static_cast<char>(std::stoi(std::string(hex.substr(k, 2)), nullptr, 16));
        }
    }
    return out;
}

inline std::string RandomBytes(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) {
        c = static_cast<char>(rng());
    }
    return s;
}

// The failure f throws (number and description), or {0, ""} when it returns.
inline ErrorValue FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.error();
    }
    return {};
}
inline int FailureNumber(const std::function<void()>& f) {
    return FailureOf(f).number;
}

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "hushnote-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names in the folder, so a test can see that no temporary file was left.
    std::size_t Count() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                      std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Records what a cipher object reports; runs atFirstReport at the first
// progress report (in the middle of a file) and stops after stopAfter reports.
class Events : public CipherEvents {
public:
    void ShowLibraryError(const ErrorValue& error) override {
        errors.push_back(FormatErrorMessage(error));
    }
    bool ReportProgress(std::int64_t remaining, std::int64_t) override {
        progress.push_back(remaining);
        if (atFirstReport) {
            std::exchange(atFirstReport, nullptr)();
        }
        return stopAfter < 0 || static_cast<int>(progress.size()) <= stopAfter;
    }
    std::vector<std::string> errors;
    std::vector<std::int64_t> progress;
    std::function<void()> atFirstReport;
    int stopAfter = -1;
};

// A cipher object whose file operations run on the library or the built-in
// cipher, whatever the library would say.
inline std::unique_ptr<CCipher> MakeCipher(CipherMode mode, CipherEvents* events = nullptr) {
    auto c = std::make_unique<CCipher>(events);
    c->SetDLLMode(mode);
    return c;
}
inline constexpr CipherMode kBothModes[] = {CipherMode::Library, CipherMode::NotLoaded};

} // namespace hushnote::test
