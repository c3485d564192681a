#pragma once
// Helpers shared by the engine's, the command line's and the window's tests.
#include "cipher/CCipher.h"
#include "common/error.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace hushnote::test {

inline std::string RandomBytes(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    std::generate(s.begin(), s.end(), [&] { return static_cast<char>(rng()); });
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

// The temporary file of an output being written anywhere under dir, if any:
// by its name, or by process pid's descriptor of a file that has none.
inline std::filesystem::path TemporaryIn(const std::filesystem::path& dir,
                                         const std::string& pid = "self") {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
        if (e.path().filename().string().rfind(".hushnote-", 0) == 0) {
            return e.path();
        }
    }
    for (const auto& e : fs::directory_iterator("/proc/" + pid + "/fd", ec)) {
        const std::string target = fs::read_symlink(e.path(), ec).string();
        if (target.rfind(dir.string(), 0) == 0 && target.ends_with(" (deleted)")) {
            return e.path();
        }
    }
    return {};
}

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

} // namespace hushnote::test
